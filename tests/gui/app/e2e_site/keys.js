// Tells the test driver, through the server's beacons, which element takes the focus and which keys
// it receives.
function beacon(what) { new Image().src = '/beacon?' + what; }
function watch(page, ids) {
  ids.forEach(function (id) {
    var element = document.getElementById(id);
    element.addEventListener('focus', function () { beacon(page + '-focus-' + id); });
    element.addEventListener('keydown', function (e) {
      if (e.key.length === 1) beacon(page + '-key-' + id + '-' + e.key);
    });
    element.addEventListener('input', function () {
      beacon(page + '-value-' + id + '-' + encodeURIComponent(element.value));
    });
  });
  window.addEventListener('load', function () { beacon(page + '-ready'); });
  ['dragenter', 'drop'].forEach(function (kind) {
    document.addEventListener(kind, function () { beacon(page + '-' + kind); });
  });
}
