// Shows every mouse press, release and context-menu event the page receives, newest last.
(function () {
  var seen = [];
  function show(kind, e) {
    seen.push(kind + (typeof e.button === 'number' ? ':' + e.button : ''));
    var box = document.getElementById('events');
    if (box) box.textContent = seen.join(' ');
    document.title = document.body.getAttribute('data-name') + ' [' + seen.join(' ') + ']';
    // Drivers of the end-to-end tests read the page's own view of the mouse from the server.
    new Image().src = '/beacon?' + document.body.getAttribute('data-name') + '-' + kind +
        (typeof e.button === 'number' ? '-' + e.button : '');
  }
  window.addEventListener('load', function () {
    if (window !== window.top) return;
    new Image().src = '/beacon?' + document.body.getAttribute('data-name') + '-ready';
  });
  ['mousedown', 'mouseup', 'contextmenu'].forEach(function (kind) {
    window.addEventListener(kind, function (e) { show(kind, e); }, true);
  });
})();
