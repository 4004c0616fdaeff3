#include "platform/gtk/GtkWebView.h"

#include <gdk/gdkkeysyms.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <utility>
#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ExternalBrowser.h"
#include "platform/PageRecovery.h"
#include "platform/Trace.h"
#include "platform/gtk/GtkEventOrder.h"
#include "platform/gtk/GtkPlatformImpl.h"
#include "platform/gtk/GtkWebContext.h"
#include "platform/gtk/GtkWindowTable.h"
#include "platform/linux/GlibOwners.h"

namespace kestrune::platform::gtk {

namespace {

constexpr const char* kFrameCommittedHandler = "kestruneFrameCommitted";
constexpr const char* kFrameReadyHandler = "kestruneFrameReady";

// How long a first page waits for the view to be on screen at its final size, and how often it
// looks (besides each new allocation of the view).
constexpr gint64 kSettleLimitUs = 3 * G_USEC_PER_SEC;
constexpr guint kSettlePollMs = 15;

// Keeps the page's own DOM `contextmenu` event from running. On this platform the web process
// dispatches that event on the right-button press, before the UI process hears of any menu request,
// and there is no synchronous way to hand the current state of the page window's procedure chain
// into every frame (cross-origin frames cannot share a flag, script evaluation from the UI process
// only reaches the main frame and arrives asynchronously, and user scripts only apply to documents
// loaded afterwards). So the DOM event is always blocked; the menu itself and the right-button
// release follow the procedure chain (see the button, popup-menu and context-menu handlers).
constexpr const char* kBlockContextMenuScript =
    "window.addEventListener('contextmenu', function (e) {"
    "  e.preventDefault(); e.stopImmediatePropagation();"
    "}, true);";

// Subframes report their commit (this script runs as the frame's new document starts) and their
// load, so that navigations inside frames raise navigation-complete and document-complete like the
// page's own. The handlers are taken before any script of the frame runs.
constexpr const char* kFrameReportScript =
    "if (window !== window.top) (function () {"
    "  var handlers = window.webkit && window.webkit.messageHandlers;"
    "  if (!handlers) return;"
    "  var committed = handlers.kestruneFrameCommitted, ready = handlers.kestruneFrameReady;"
    "  var address = String(location.href);"
    "  try { committed.postMessage(address); } catch (e) {}"
    "  window.addEventListener('load', function () {"
    "    try { ready.postMessage(String(location.href)); } catch (e) {}"
    "  });"
    "})();";

// The address a frame report carries; false for anything but a string.
bool FrameAddress(WebKitJavascriptResult* result, std::string& address) {
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (value == nullptr || !jsc_value_is_string(value)) return false;
    const GText text(jsc_value_to_string(value));
    address = text ? text.get() : "";
    return true;
}

// Refused launches are counted and logged once a second at most, however fast a page asks.
struct RefusedLaunches {
    std::uint64_t unlogged = 0;
    guint source = 0;
};
RefusedLaunches& Refusals() {
    static RefusedLaunches refusals;
    return refusals;
}

gboolean LogRefusedLaunches(gpointer) {
    RefusedLaunches& r = Refusals();
    g_printerr("kestrune: %s\n", ProcessExternalLaunchRule().GateRefusalLogLine(r.unlogged).c_str());
    r.unlogged = 0;
    r.source = 0;
    return G_SOURCE_REMOVE;
}

void NoteRefusedLaunch() {
    RefusedLaunches& r = Refusals();
    ++r.unlogged;
    if (r.source == 0) r.source = g_timeout_add(1000, &LogRefusedLaunches, nullptr);
}

// The launch itself, on a worker thread: on its way to the program GIO connects to the session bus,
// and without one running that means starting one (dbus-launch, waited for with no time limit, anew
// at every launch). GIO's own asynchronous launch still looks up the bus address on the calling
// thread, so it would block just the same.
void LaunchUserBrowser(GTask* task, gpointer, gpointer data, GCancellable*) {
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(static_cast<const gchar*>(data), nullptr, &error))
        g_task_return_boolean(task, TRUE);
    else
        g_task_return_error(task, error);
}

// Back on the loop: a failure is only logged (the page asked in vain).
void OnUserBrowserLaunched(GObject*, GAsyncResult* result, gpointer) {
    GError* raw = nullptr;
    if (!g_task_propagate_boolean(G_TASK(result), &raw)) {
        const GErrorOwner error(raw);
        g_printerr("kestrune: could not open %s in the user's browser: %s\n",
                   static_cast<const gchar*>(g_task_get_task_data(G_TASK(result))),
                   error ? error->message : "unknown error");
    }
}

// Hands a new-window address the page's handler let through to the user's own browser, if it is a
// web address and the page has not had its share of launches.
void OpenInUserBrowser(const std::string& uri, bool userGesture) {
    const ExternalLaunchRule::Decision decision =
        ProcessExternalLaunchRule().Consider(uri, userGesture, &SplitUriWithSystemParser, std::chrono::steady_clock::now());
    if (decision.outcome == ExternalLaunchRule::Outcome::kRefusedAddress) {
        if (!uri.empty()) g_printerr("kestrune: %s\n", decision.refusal.c_str());
        return;
    }
    if (decision.outcome == ExternalLaunchRule::Outcome::kRefusedByGate) {
        NoteRefusedLaunch();
        return;
    }
    // Off the loop: a slow or absent desktop session must not freeze the windows.
    const GObjectRef<GTask> task(g_task_new(nullptr, nullptr, &OnUserBrowserLaunched, nullptr));
    g_task_set_task_data(task.get(), g_strdup(uri.c_str()), g_free);
    g_task_run_in_thread(task.get(), &LaunchUserBrowser);
}

// A download a box starts (an attachment, a link with the download attribute, a type the view cannot
// show) saves nothing into the player's folders: it is cancelled, and its address goes to the user's
// own browser by the same rule as a new window.
void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
    WebKitURIRequest* request = webkit_download_get_request(download);
    const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
    const std::string address = uri != nullptr ? uri : "";
    webkit_download_cancel(download);
    OpenInUserBrowser(address, true);
}

// Load failures that are not the server's absence: another load took over, or a download.
bool IsUnreachable(const GError* error) {
    return error != nullptr && !g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) &&
           !g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) &&
           !g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
}

// A view's settings for `mode`. The GPU value picks the compositing policy: on demand with hardware
// acceleration, or never. A stored emulation level fixes the engine to one standards mode for every
// page: no site-specific quirks and a fixed user agent naming this launcher and the level.
void ApplyMode(WebKitWebView* view, const WebViewMode& mode) {
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    webkit_settings_set_hardware_acceleration_policy(
        settings, mode.gpuRendering ? WEBKIT_HARDWARE_ACCELERATION_POLICY_ON_DEMAND
                                    : WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    if (mode.emulationLevel > 0) {
        webkit_settings_set_enable_site_specific_quirks(settings, FALSE);
        const std::string version = std::to_string(mode.emulationLevel);
        webkit_settings_set_user_agent_with_application_details(settings, "Kestrune", version.c_str());
    }
}

// What the requests of a view say they come from.
std::string UserAgentOf(WebKitWebView* view) {
    const gchar* agent = webkit_settings_get_user_agent(webkit_web_view_get_settings(view));
    return agent != nullptr ? agent : "";
}

// A decision kept undecided in `slot` is refused and let go.
void DropDecision(WebKitPolicyDecision*& slot) {
    if (slot == nullptr) return;
    webkit_policy_decision_ignore(slot);
    g_object_unref(slot);
    slot = nullptr;
}

// `decision` is kept undecided in `slot`, in place of one kept there before (refused: a later
// navigation took over from it).
void HoldDecision(WebKitPolicyDecision*& slot, WebKitPolicyDecision* decision) {
    DropDecision(slot);
    slot = WEBKIT_POLICY_DECISION(g_object_ref(decision));
}

// A view made ahead of the window that will hold it (PrepareGtkWebView), with its page asked for.
struct PreparedView {
    WebKitWebView* view = nullptr;  // ours
    std::string url;                // as the caller gave it
    std::string engineUrl;          // as the engine took it in, and names it when it asks
    std::string agent;              // the user agent its request goes out with
    WebKitPolicyDecision* ask = nullptr;  // the engine's question on the page, until a host can answer it
    bool processRunning = false;          // made beside a live view, in its running web process
    gulong askHandler = 0;
    gulong endHandler = 0;
    guint expiry = 0;
};

// The views alive in this process, oldest first.
std::vector<WebKitWebView*>& LiveViews() {
    static std::vector<WebKitWebView*> views;
    return views;
}

class GtkWebView final : public WebView {
public:
    GtkWebView(WebKitWebView* view, WebViewHost* host) : view_(view), host_(host) { LiveViews().push_back(view); }
    ~GtkWebView() override;

    bool Attach(WindowId parent, const Rect& rect);

    WindowId Window() const override { return window_; }
    void Navigate(const std::string& url) override;
    std::string LocationUrl() const override {
        if (unsent_) return "";  // a prepared view its host has not sent anywhere yet
        const gchar* uri = webkit_web_view_get_uri(view_);
        return uri != nullptr ? uri : "";
    }
    std::string LocationName() const override {
        const gchar* title = webkit_web_view_get_title(view_);
        return title != nullptr ? title : "";
    }
    // WebKitGTK has no offline switch (no browsing from the cache only): the value is kept and reported.
    void SetOffline(bool offline) override { offline_ = offline; }
    bool Offline() const override { return offline_; }
    void SetSilent(bool silent) override { silent_ = silent; }
    bool Silent() const override { return silent_; }
    void SetTextZoom(int level) override {
        webkit_settings_set_zoom_text_only(webkit_web_view_get_settings(view_), TRUE);
        webkit_web_view_set_zoom_level(view_, TextZoomFactor(level));
    }
    void SetMode(const WebViewMode& mode) override { ApplyMode(view_, mode); }

    // The load a view made ahead of its host was started on (PrepareWebView): taken over by the
    // first Navigate to the same address in the same mode, its question on the page held till then.
    void TakePreparedLoad(PreparedView&& prepared) {
        unsent_ = !prepared.url.empty();
        preparedUrl_ = std::move(prepared.url);
        preparedEngineUrl_ = std::move(prepared.engineUrl);
        preparedAgent_ = std::move(prepared.agent);
        preparedAsk_ = std::exchange(prepared.ask, nullptr);
        preparedInRunningProcess_ = prepared.processRunning;
    }

private:
    // Signal handlers.
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer self);
    static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static void OnProgress(GObject*, GParamSpec*, gpointer self);
    static void OnTitle(GObject*, GParamSpec*, gpointer self);
    static gboolean OnEnterFullScreen(WebKitWebView*, gpointer self);
    static void OnResponsiveness(GObject*, GParamSpec*, gpointer self);
    static gboolean OnTlsErrors(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags, gpointer self);
    static gboolean OnSilenceTimer(gpointer self);
    static void OnDragDataReceived(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint,
                                   gpointer self);
    static gboolean OnLeaveFullScreen(WebKitWebView*, gpointer self);
    static void OnMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer self);
    static gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnPopupMenu(GtkWidget*, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer self);
    static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
    static gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer self);
    static gboolean OnPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer self);
    static gboolean OnPrint(WebKitWebView*, WebKitPrintOperation*, gpointer self);
    static gboolean OnFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer self);
    static gboolean OnColorChooser(WebKitWebView*, WebKitColorChooserRequest* request, gpointer self);
    static void OnFrameCommitted(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void OnFrameReady(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void OnRetryMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self);
    static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self);
    static void OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self);
    static void OnNetworkChanged(GNetworkMonitor*, gboolean available, gpointer self);
    static gboolean OnRetryTimer(gpointer self);
    static gboolean OnStoppedLoadSettled(gpointer self);
    static gboolean OnSettleTimer(gpointer self);
    static void OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self);
    static gboolean OnTopLevelState(GtkWidget*, GdkEventWindowState*, gpointer self);

    // True when the page window's procedure chain swallowed the message.
    bool PageSwallows(std::uint32_t message) const {
        if (page_ == 0) return false;
        bool reachedDefault = true;
        const std::intptr_t result = DispatchToProc(page_, message, 0, 0, &reachedDefault);
        return result != 0 && !reachedDefault;
    }
    void ReplacePageWindow();
    bool FromDrop(const std::string& uri) const;
    void NewWindowRequested(const std::string& uri, bool userGesture);
    void ReportCommandStates();
    // True once the view is on screen at the size of its window, its top-level window mapped and, if
    // asked to be maximised, maximised: a page loaded now sees its final viewport.
    bool AtFinalSize() const;
    // Looks for the final size until it is there (or long enough has passed), then lets in the
    // page held back meanwhile.
    void WatchForFinalSize();
    void StopWatchingForFinalSize();
    void Settle();
    // Keeps the main document's response undecided (so nothing of the page runs) until Settle.
    void HoldResponse(WebKitPolicyDecision* decision);
    // Lets the held page in when the view has come to its final size meanwhile.
    void SettleIfAtFinalSize();
    void StartLoad(const std::string& url);
    // True when `url` is the prepared load's, which then goes on as this view's load.
    bool TakeOverPreparedLoad(const std::string& url);
    void ForgetPreparedLoad();
    static gboolean AnswerPreparedAsk(gpointer self);
    // Shows the built-in page for an address that could not be reached and plans the next retry.
    void ShowUnreachable(const std::string& address, LoadFailure why = LoadFailure::kUnreachable);
    // Loads the unreachable address again; a retry the user asked for starts the waits afresh.
    void Retry(bool byUser);
    void Reload();  // F5 and Ctrl+R
    void StopRetryTimer();

    WebKitWebView* view_;
    WebViewHost* host_;
    WebKitUserContentManager* content_ = nullptr;
    WindowId window_ = 0;
    WindowId document_ = 0;
    WindowId page_ = 0;
    bool offline_ = false;
    bool silent_ = false;
    // What was last dropped on the view (its addresses, and when): the engine's navigation to it is
    // refused.
    std::vector<std::string> dropped_;
    gint64 droppedAt_ = 0;
    bool canGoBack_ = false;
    bool canGoForward_ = false;
    std::string statusText_;
    // Until the view has its final size (see AtFinalSize) a page may load, but its document is not
    // let in: the request is on its way while the window is mapped and sized, and the page's first
    // script and its load event see the final viewport.
    bool settled_ = false;
    WebKitPolicyDecision* heldResponse_ = nullptr;
    // A load begun before this view had a host (TakePreparedLoad), and the engine's question on it:
    // the question waits for the host's first Navigate, and is then answered from the loop.
    std::string preparedUrl_;
    bool unsent_ = false;  // the host has not sent the view anywhere yet
    std::string preparedEngineUrl_;
    std::string preparedAgent_;
    WebKitPolicyDecision* preparedAsk_ = nullptr;
    // The prepared load went to a web process already running, so its question comes within a few
    // milliseconds; a first view's waits for its process to start, far too long to hold events for.
    bool preparedInRunningProcess_ = false;
    // The engine's question on a prepared load this view took over is still to come: window events
    // wait behind the engine's messages until it does (GtkEventOrder.h). 0 when none is held.
    WindowEventHold preparedAskHold_ = 0;
    void StopAwaitingPreparedAsk();
    guint answerSource_ = 0;
    std::string supersededUrl_;  // a prepared load replaced before the engine asked about it
    guint settleSource_ = 0;
    // The top-level window watched meanwhile: its mapping and maximising may be the last step.
    GtkWidget* settleTop_ = nullptr;
    gulong settleStateHandler_ = 0;
    gint64 settleSince_ = 0;
    // The built-in page for an unreachable address: its own load is nobody's business but ours.
    bool failedLoadEnding_ = false;  // the failed load still reports its end
    bool ownLoad_ = false;           // the built-in page is loading
    UnreachableRecovery recovery_;
    guint retrySource_ = 0;
    BoxPage boxPage_;
    guint stoppedSource_ = 0;  // a stopped load is looked at once the engine has settled
    UnresponsiveWatch unresponsive_;
    guint silenceSource_ = 0;
    bool certificateRefused_ = false;  // the failing load's certificate was refused
    gulong networkHandler_ = 0;
    ReloadBudget reloads_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

GtkWebView::~GtkWebView() {
    *alive_ = false;
    auto& live = LiveViews();
    live.erase(std::remove(live.begin(), live.end(), view_), live.end());
    g_signal_handlers_disconnect_by_data(view_, this);
    if (content_ != nullptr) g_signal_handlers_disconnect_by_data(content_, this);
    if (networkHandler_ != 0) g_signal_handler_disconnect(g_network_monitor_get_default(), networkHandler_);
    StopWatchingForFinalSize();
    if (silenceSource_ != 0) g_source_remove(silenceSource_);
    if (stoppedSource_ != 0) g_source_remove(stoppedSource_);
    DropDecision(heldResponse_);
    ForgetPreparedLoad();
    StopRetryTimer();
    // The last view ends its content process with it: a page still running (a script that never
    // ends, say) would otherwise keep it busy after the launcher is gone.
    if (live.empty()) webkit_web_view_terminate_web_process(view_);
    if (window_ != 0 && Current().Exists(window_)) Current().Destroy(window_);
    g_object_unref(view_);
}

bool GtkWebView::Attach(WindowId parent, const Rect& rect) {
    window_ = RegisterWidgetWindow(GTK_WIDGET(view_), parent, rect, nullptr);
    if (window_ == 0) return false;
    document_ = CreatePseudoWindow(window_);
    page_ = CreatePseudoWindow(document_);

    // What shows before a page draws, and where it leaves its background transparent.
    const GdkRGBA white{1.0, 1.0, 1.0, 1.0};
    webkit_web_view_set_background_color(view_, &white);

    content_ = webkit_web_view_get_user_content_manager(view_);
    for (const char* source : {kBlockContextMenuScript, kFrameReportScript}) {
        WebKitUserScript* script = webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                                          WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(content_, script);
        webkit_user_script_unref(script);
    }
    g_signal_connect(content_, "script-message-received::kestruneFrameCommitted", G_CALLBACK(OnFrameCommitted),
                     this);
    g_signal_connect(content_, "script-message-received::kestruneFrameReady", G_CALLBACK(OnFrameReady), this);
    webkit_user_content_manager_register_script_message_handler(content_, kFrameCommittedHandler);
    webkit_user_content_manager_register_script_message_handler(content_, kFrameReadyHandler);
    g_signal_connect(content_, "script-message-received::kestruneRetry", G_CALLBACK(OnRetryMessage), this);
    webkit_user_content_manager_register_script_message_handler(content_, kRetryBridgeName);

    g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect_after(view_, "size-allocate", G_CALLBACK(OnSizeAllocate), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnProcessTerminated), this);
    networkHandler_ =
        g_signal_connect(g_network_monitor_get_default(), "network-changed", G_CALLBACK(OnNetworkChanged), this);
    g_signal_connect(view_, "notify::estimated-load-progress", G_CALLBACK(OnProgress), this);
    g_signal_connect(view_, "notify::title", G_CALLBACK(OnTitle), this);
    g_signal_connect(view_, "enter-fullscreen", G_CALLBACK(OnEnterFullScreen), this);
    g_signal_connect(view_, "drag-data-received", G_CALLBACK(OnDragDataReceived), this);
    g_signal_connect(view_, "notify::is-web-process-responsive", G_CALLBACK(OnResponsiveness), this);
    g_signal_connect(view_, "load-failed-with-tls-errors", G_CALLBACK(OnTlsErrors), this);
    g_signal_connect(view_, "leave-fullscreen", G_CALLBACK(OnLeaveFullScreen), this);
    g_signal_connect(view_, "mouse-target-changed", G_CALLBACK(OnMouseTarget), this);
    g_signal_connect(view_, "button-press-event", G_CALLBACK(OnButton), this);
    g_signal_connect(view_, "button-release-event", G_CALLBACK(OnButton), this);
    g_signal_connect(view_, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(view_, "popup-menu", G_CALLBACK(OnPopupMenu), this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(view_, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(view_, "authenticate", G_CALLBACK(OnAuthenticate), this);
    g_signal_connect(view_, "permission-request", G_CALLBACK(OnPermission), this);
    g_signal_connect(view_, "print", G_CALLBACK(OnPrint), this);
    g_signal_connect(view_, "run-file-chooser", G_CALLBACK(OnFileChooser), this);
    g_signal_connect(view_, "run-color-chooser", G_CALLBACK(OnColorChooser), this);
    return true;
}

gboolean GtkWebView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                    gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        // A page of a type the view cannot show becomes a download, which goes to the user's browser
        // (OnDownloadStarted) rather than vanishing without a word.
        if (webkit_response_policy_decision_is_main_frame_main_resource(response) &&
            !webkit_response_policy_decision_is_mime_type_supported(response)) {
            webkit_policy_decision_download(decision);
            return TRUE;
        }
        if (self->settled_ || self->settleSource_ == 0) return FALSE;  // nothing to wait for
        // Only a document the view is going to show; anything else takes its usual course.
        if (!webkit_response_policy_decision_is_main_frame_main_resource(response) ||
            !webkit_response_policy_decision_is_mime_type_supported(response))
            return FALSE;
        self->HoldResponse(decision);
        return TRUE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const gchar* rawUri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string uri = rawUri != nullptr ? rawUri : "";
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        // The engine has asked: whatever it asks about, it is no longer held up by window events.
        self->StopAwaitingPreparedAsk();
        if (!self->preparedUrl_.empty() || self->answerSource_ != 0) {
            // A load begun ahead of the host's first Navigate: its question waits for that (StartLoad).
            HoldDecision(self->preparedAsk_, decision);
            return TRUE;
        }
        // The engine may still ask about a prepared load the host sent elsewhere, ahead of the
        // host's own: nobody asked for that page.
        const bool superseded = !self->supersededUrl_.empty() && uri == self->supersededUrl_;
        self->supersededUrl_.clear();
        if (superseded) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
    }
    TraceStep("navigation-asked");
    // The handler may run a nested loop (a modal window) or destroy this view: keep the decision.
    const GObjectRef<WebKitPolicyDecision> keep = KeepAlive(decision);
    const std::shared_ptr<bool> alive = self->alive_;
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && self->FromDrop(uri)) {
        webkit_policy_decision_ignore(decision);
    } else if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        const bool allow = self->host_->BeforeNavigate(uri);
        if (allow && *alive) webkit_policy_decision_use(decision);
        else webkit_policy_decision_ignore(decision);
    } else {
        // Ignored, the decision ends this request here: WebKit never goes on to ask for a view for
        // it (see OnCreate), so the request is reported once.
        webkit_policy_decision_ignore(decision);
        self->NewWindowRequested(uri, webkit_navigation_action_is_user_gesture(action) != FALSE);
    }
    return TRUE;
}

// A script's window.open() asks for the new view directly, without a new-window policy decision.
// It is reported like a link's request; the page gets no window (window.open() returns null).
GtkWidget* GtkWebView::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    const gchar* rawUri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    static_cast<GtkWebView*>(data)->NewWindowRequested(rawUri != nullptr ? rawUri : "",
                                                       webkit_navigation_action_is_user_gesture(action) != FALSE);
    return nullptr;
}

void GtkWebView::NewWindowRequested(const std::string& uri, bool userGesture) {
    // The handler may destroy this view; nothing of it is used afterwards.
    const bool allow = host_->NewWindow(uri);
    // Not cancelled: a web address opens in the user's own browser; never in a window of ours.
    if (allow) OpenInUserBrowser(uri, userGesture);
}

void GtkWebView::Navigate(const std::string& url) {
    // A new address takes over from one that could not be reached.
    StopRetryTimer();
    recovery_.Abandon();
    boxPage_.Asked(url);
    if (!settled_) settled_ = AtFinalSize();
    // Not on screen yet, or not at its final size: the page's first script and its load event
    // would see another viewport. The request goes out now; its document waits for the view.
    if (!settled_) WatchForFinalSize();
    StartLoad(url);
}

void GtkWebView::WatchForFinalSize() {
    if (settleSource_ != 0) return;
    settleSince_ = g_get_monotonic_time();
    settleSource_ = g_timeout_add(kSettlePollMs, &GtkWebView::OnSettleTimer, this);
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view_));
    if (!GTK_IS_WINDOW(top)) return;
    settleTop_ = top;
    g_object_add_weak_pointer(G_OBJECT(top), reinterpret_cast<gpointer*>(&settleTop_));
    settleStateHandler_ = g_signal_connect_after(top, "window-state-event", G_CALLBACK(OnTopLevelState), this);
}

void GtkWebView::StopWatchingForFinalSize() {
    if (settleSource_ != 0) g_source_remove(settleSource_);
    settleSource_ = 0;
    if (settleTop_ == nullptr) return;
    g_signal_handler_disconnect(settleTop_, settleStateHandler_);
    g_object_remove_weak_pointer(G_OBJECT(settleTop_), reinterpret_cast<gpointer*>(&settleTop_));
    settleTop_ = nullptr;
    settleStateHandler_ = 0;
}

void GtkWebView::Settle() {
    TraceStep("view-settled");
    settled_ = true;
    StopWatchingForFinalSize();
    if (heldResponse_ == nullptr) return;
    WebKitPolicyDecision* decision = heldResponse_;
    heldResponse_ = nullptr;
    webkit_policy_decision_use(decision);
    g_object_unref(decision);
}

void GtkWebView::HoldResponse(WebKitPolicyDecision* decision) {
    TraceStep("response-held");
    HoldDecision(heldResponse_, decision);
}

void GtkWebView::SettleIfAtFinalSize() {
    if (!settled_ && settleSource_ != 0 && AtFinalSize()) Settle();
}

void GtkWebView::StartLoad(const std::string& url) {
    TraceStep("load-starting");
    ownLoad_ = false;
    failedLoadEnding_ = false;
    unsent_ = false;
    if (TakeOverPreparedLoad(url)) return;
    webkit_web_view_load_uri(view_, url.c_str());
}

bool GtkWebView::TakeOverPreparedLoad(const std::string& url) {
    // Whatever load comes next, a question still to be answered belongs to one it replaces. (A
    // pending answer means the prepared load was taken over already: its address is gone.)
    if (preparedUrl_.empty()) {
        ForgetPreparedLoad();
        return false;
    }
    // The request must go out as this view's own would: the same address, the same user agent.
    const bool same = url == preparedUrl_ && preparedAgent_ == UserAgentOf(view_);
    const std::string prepared = std::exchange(preparedUrl_, std::string());
    if (!same) {
        if (preparedAsk_ == nullptr && prepared != url) supersededUrl_ = preparedEngineUrl_;
        DropDecision(preparedAsk_);
        return false;
    }
    // The engine is on the page already. Its question, come or still to come, reaches the host from
    // the loop, as the question of a load started now would.
    if (preparedAsk_ != nullptr) {
        answerSource_ = g_idle_add_full(G_PRIORITY_DEFAULT, &GtkWebView::AnswerPreparedAsk, this, nullptr);
    } else if (preparedInRunningProcess_ && preparedAskHold_ == 0) {
        preparedAskHold_ = HoldWindowEventsForEngine();
    }
    return true;
}

void GtkWebView::StopAwaitingPreparedAsk() {
    const WindowEventHold hold = std::exchange(preparedAskHold_, 0);
    if (hold != 0) ReleaseWindowEventsForEngine(hold);
}

// The content process ended, the view goes, or another load replaces the prepared one: nothing is
// left to take over, and its question is refused.
void GtkWebView::ForgetPreparedLoad() {
    StopAwaitingPreparedAsk();
    if (answerSource_ != 0) g_source_remove(answerSource_);
    answerSource_ = 0;
    preparedUrl_.clear();
    DropDecision(preparedAsk_);
}

gboolean GtkWebView::AnswerPreparedAsk(gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    self->answerSource_ = 0;
    WebKitPolicyDecision* ask = std::exchange(self->preparedAsk_, nullptr);
    if (ask == nullptr) return G_SOURCE_REMOVE;
    const GObjectRef<WebKitPolicyDecision> keep(ask);  // ours; the handler may destroy the view
    if (!OnDecidePolicy(self->view_, ask, WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION, self))
        webkit_policy_decision_use(ask);
    return G_SOURCE_REMOVE;
}

bool GtkWebView::AtFinalSize() const {
    GtkWidget* widget = GTK_WIDGET(view_);
    if (!gtk_widget_get_mapped(widget)) return false;
    GdkWindow* top = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
    if (top == nullptr) return false;
    const GdkWindowState state = gdk_window_get_state(top);
    if ((state & GDK_WINDOW_STATE_WITHDRAWN) != 0) return false;  // the window manager has not shown it yet
    const WindowId topLevel = TopLevelOf(window_);
    if (topLevel != 0 && Current().IsMaximized(topLevel) && (state & GDK_WINDOW_STATE_MAXIMIZED) == 0) return false;
    const Rect rect = Current().GetOuterRect(window_);
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    return allocation.width == rect.Width() && allocation.height == rect.Height();
}

// Usually the last step before the final size: the view's own allocation, after the engine took it.
void GtkWebView::OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer data) {
    static_cast<GtkWebView*>(data)->SettleIfAtFinalSize();
}

// Mapped by the window manager, or maximised, with the view already at its size: no size-allocate
// follows, and the poll would let the page wait for nothing.
gboolean GtkWebView::OnTopLevelState(GtkWidget*, GdkEventWindowState*, gpointer data) {
    static_cast<GtkWebView*>(data)->SettleIfAtFinalSize();
    return FALSE;
}

gboolean GtkWebView::OnSettleTimer(gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    const bool waitedLongEnough = g_get_monotonic_time() - self->settleSince_ >= kSettleLimitUs;
    if (!self->AtFinalSize() && !waitedLongEnough) return G_SOURCE_CONTINUE;
    self->settleSource_ = 0;  // ends with this call
    self->Settle();
    return G_SOURCE_REMOVE;
}

void GtkWebView::ShowUnreachable(const std::string& address, LoadFailure why) {
    StopRetryTimer();
    ownLoad_ = true;
    const auto wait = recovery_.Failed(address, why);
    const std::string html = FailurePageHtml(address, why);
    webkit_web_view_load_alternate_html(view_, html.c_str(), address.c_str(), nullptr);
    if (wait) retrySource_ = g_timeout_add_seconds(static_cast<guint>(wait->count()), &GtkWebView::OnRetryTimer, this);
}

void GtkWebView::Retry(bool byUser) {
    const auto address = recovery_.Retry(byUser);
    if (!address) return;
    StopRetryTimer();
    StartLoad(*address);
}

void GtkWebView::Reload() {
    if (recovery_.Showing()) {
        Retry(true);
        return;
    }
    if (!LocationUrl().empty()) {
        webkit_web_view_reload(view_);
        return;
    }
    // Nothing was ever shown, so the engine has nothing to reload: the box's address is asked again.
    if (!boxPage_.AskedFor().empty()) StartLoad(boxPage_.AskedFor());
}

void GtkWebView::StopRetryTimer() {
    if (retrySource_ != 0) g_source_remove(retrySource_);
    retrySource_ = 0;
}

gboolean GtkWebView::OnRetryTimer(gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    self->retrySource_ = 0;
    self->Retry(false);
    return G_SOURCE_REMOVE;
}

void GtkWebView::OnNetworkChanged(GNetworkMonitor*, gboolean available, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (available && self->recovery_.Showing() && !self->ownLoad_) self->Retry(false);
}

void GtkWebView::OnRetryMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer data) {
    static_cast<GtkWebView*>(data)->Retry(true);
}

gboolean GtkWebView::OnLoadFailed(WebKitWebView*, WebKitLoadEvent stage, gchar* uri, GError* error, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    // Only a page that never arrived: one cut off after it began to show keeps what it has.
    const bool certificateRefused = std::exchange(self->certificateRefused_, false);
    if (self->ownLoad_ || stage != WEBKIT_LOAD_STARTED) return FALSE;
    if (!IsUnreachable(error)) {
        // Stopped: another load may be taking over, which the engine starts only after this signal.
        if (self->stoppedSource_ == 0) self->stoppedSource_ = g_idle_add(&GtkWebView::OnStoppedLoadSettled, self);
        return FALSE;
    }
    // The failed load still reports its end (DownloadComplete, DocumentComplete) as it always has.
    self->failedLoadEnding_ = true;
    self->ShowUnreachable(uri != nullptr ? uri : self->LocationUrl(),
                          certificateRefused ? LoadFailure::kInsecure : LoadFailure::kUnreachable);
    return TRUE;
}

// A load stopped before its page arrived leaves the box as it was, unless that is blank and nothing
// else is loading: a box never stays blank.
gboolean GtkWebView::OnStoppedLoadSettled(gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    self->stoppedSource_ = 0;
    if (self->ownLoad_ || self->recovery_.Showing() || webkit_web_view_is_loading(self->view_)) return G_SOURCE_REMOVE;
    if (const auto address = self->boxPage_.StandInAfterStop()) self->ShowUnreachable(*address, LoadFailure::kStopped);
    return G_SOURCE_REMOVE;
}

// The server's certificate was refused (the load then fails as any other): the box says so rather
// than that the server cannot be reached, and does not retry by itself.
gboolean GtkWebView::OnTlsErrors(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags, gpointer data) {
    static_cast<GtkWebView*>(data)->certificateRefused_ = true;
    return FALSE;
}

// The content process died (killed, crashed, out of memory): the view shows nothing any more and
// asks for nothing. Its address is loaded again, a few times a minute at most.
void GtkWebView::OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    self->ForgetPreparedLoad();  // a prepared load its host never sent the view to is not loaded again
    const std::string address = self->recovery_.Showing() ? self->recovery_.Address() : self->LocationUrl();
    g_printerr("kestrune: the web content process ended (%s)\n",
               reason == WEBKIT_WEB_PROCESS_CRASHED                 ? "crashed"
               : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "out of memory"
                                                                    : "terminated");
    DropDecision(self->heldResponse_);  // its document went with the process
    self->boxPage_.Lost();
    if (address.empty()) return;
    if (self->reloads_.Take(std::chrono::steady_clock::now())) {
        self->StopRetryTimer();
        self->recovery_.Abandon();
        self->StartLoad(address);
    } else {
        self->failedLoadEnding_ = false;
        self->ShowUnreachable(address);
    }
}

// The engine says whether the content process answers. Silent for UnresponsiveWatch::kLimit, it is
// ended; every view it served then reloads its page as after a crash (OnProcessTerminated).
void GtkWebView::OnResponsiveness(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    const bool responsive = webkit_web_view_get_is_web_process_responsive(self->view_) != FALSE;
    const auto wait = self->unresponsive_.Report(responsive, std::chrono::steady_clock::now());
    if (responsive && self->silenceSource_ != 0) {
        g_source_remove(self->silenceSource_);
        self->silenceSource_ = 0;
    }
    if (!wait) return;
    if (self->silenceSource_ != 0) g_source_remove(self->silenceSource_);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*wait).count();
    self->silenceSource_ = g_timeout_add(static_cast<guint>(ms) + 1, &GtkWebView::OnSilenceTimer, self);
}

gboolean GtkWebView::OnSilenceTimer(gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    self->silenceSource_ = 0;
    if (webkit_web_view_get_is_web_process_responsive(self->view_) == FALSE &&
        self->unresponsive_.Due(std::chrono::steady_clock::now())) {
        g_printerr("kestrune: the web content process has not answered for %lld s; ending it\n",
                   static_cast<long long>(UnresponsiveWatch::kLimit.count()));
        webkit_web_view_terminate_web_process(self->view_);
    }
    return G_SOURCE_REMOVE;
}

void GtkWebView::ReplacePageWindow() {
    if (page_ != 0) DestroyPseudoWindow(page_);
    page_ = Current().Exists(document_) ? CreatePseudoWindow(document_) : 0;
}

void GtkWebView::ReportCommandStates() {
    const std::shared_ptr<bool> alive = alive_;
    const bool back = webkit_web_view_can_go_back(view_) != FALSE;
    const bool forward = webkit_web_view_can_go_forward(view_) != FALSE;
    if (forward != canGoForward_) {
        canGoForward_ = forward;
        host_->CommandStateChange(1, forward);
        if (!*alive) return;
    }
    if (back != canGoBack_) {
        canGoBack_ = back;
        host_->CommandStateChange(2, back);
    }
}

void GtkWebView::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    const std::shared_ptr<bool> alive = self->alive_;
    // The built-in page's own load reports nothing; the failed load before it still ends.
    const bool own = self->ownLoad_ && !self->failedLoadEnding_;
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        if (own) break;
        self->host_->DownloadBegin();
        break;
    case WEBKIT_LOAD_COMMITTED:
        self->ReplacePageWindow();
        self->boxPage_.Shown();
        if (own) break;
        // A page of the server's own is shown again.
        self->recovery_.ServerPageShown();
        self->StopRetryTimer();
        self->host_->NavigateComplete(self->LocationUrl());
        if (!*alive) return;
        self->ReportCommandStates();
        break;
    case WEBKIT_LOAD_FINISHED:
        PrepareTitleConversionWhenIdle();  // before a page's next window wants it
        if (own) {
            self->ownLoad_ = false;
            break;
        }
    {
        // A failed load ends with the address that could not be reached (the view has none yet).
        const std::string address = self->failedLoadEnding_ ? self->recovery_.Address() : self->LocationUrl();
        self->failedLoadEnding_ = false;
        self->host_->DownloadComplete();
        if (!*alive) return;
        self->host_->DocumentComplete(address);
        break;
    }
    default:
        break;
    }
}

void GtkWebView::OnProgress(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (self->ownLoad_ && !self->failedLoadEnding_) return;
    const double progress = webkit_web_view_get_estimated_load_progress(self->view_);
    self->host_->ProgressChange(static_cast<int>(progress * 100.0 + 0.5), 100);
}

void GtkWebView::OnTitle(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (self->ownLoad_ || self->recovery_.Showing()) return;  // the built-in page's title is not the page's
    self->host_->TitleChange(self->LocationName());
}

// The engine makes the top-level window full screen itself (and takes it back); the box learns of it
// to cover the window meanwhile.
gboolean GtkWebView::OnEnterFullScreen(WebKitWebView*, gpointer data) {
    static_cast<GtkWebView*>(data)->host_->FullScreenChanged(true);
    return FALSE;
}

// A file or link dropped on the page, outside any drop zone of the page's own, would become the box's
// page (with no way back but a restart). The page still sees the drop first; only the engine's own
// navigation to what was dropped is refused.
void GtkWebView::OnDragDataReceived(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint,
                                    gpointer self) {
    auto* view = static_cast<GtkWebView*>(self);
    view->dropped_.clear();
    view->droppedAt_ = g_get_monotonic_time();
    if (const GTextVector uris{gtk_selection_data_get_uris(data)}) {
        for (gchar** uri = uris.get(); *uri != nullptr; ++uri) view->dropped_.emplace_back(*uri);
    }
    if (const GText text{reinterpret_cast<gchar*>(gtk_selection_data_get_text(data))}) {
        const gchar* trimmed = g_strstrip(text.get());
        if (*trimmed != '\0') view->dropped_.emplace_back(trimmed);
    }
}

bool GtkWebView::FromDrop(const std::string& uri) const {
    constexpr gint64 kDropNavigationUs = 5 * 1000 * 1000;  // the engine asks well within this
    if (droppedAt_ == 0 || g_get_monotonic_time() - droppedAt_ > kDropNavigationUs) return false;
    return std::find(dropped_.begin(), dropped_.end(), uri) != dropped_.end();
}

gboolean GtkWebView::OnLeaveFullScreen(WebKitWebView*, gpointer data) {
    static_cast<GtkWebView*>(data)->host_->FullScreenChanged(false);
    return FALSE;
}

void GtkWebView::OnMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    const gchar* link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
    std::string text = link != nullptr ? link : "";
    if (text == self->statusText_) return;
    self->statusText_ = text;
    self->host_->StatusTextChange(text);
}

gboolean GtkWebView::OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (event->type == GDK_BUTTON_PRESS) ProcessExternalLaunchRule().NoteGesture();
    if (event->button != 3) return FALSE;
    if (event->type == GDK_BUTTON_RELEASE)
        return self->PageSwallows(kMessageRightButtonUp) ? TRUE : FALSE;  // swallowed: WebKit never sees it
    if (event->type == GDK_BUTTON_PRESS) return self->PageSwallows(kMessageRightButtonDown) ? TRUE : FALSE;
    return FALSE;
}

gboolean GtkWebView::OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    ProcessExternalLaunchRule().NoteGesture();
    // F5 and Ctrl+R load the box's page again, as the platform's browser control does.
    if (event->keyval == GDK_KEY_F5 ||
        ((event->state & GDK_CONTROL_MASK) != 0 && (event->keyval == GDK_KEY_r || event->keyval == GDK_KEY_R))) {
        self->Reload();
        return TRUE;
    }
    if (event->keyval != GDK_KEY_Menu) return FALSE;
    return self->PageSwallows(kMessageContextMenu) ? TRUE : FALSE;
}

gboolean GtkWebView::OnPopupMenu(GtkWidget*, gpointer data) {
    return static_cast<GtkWebView*>(data)->PageSwallows(kMessageContextMenu) ? TRUE : FALSE;
}

gboolean GtkWebView::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                   gpointer data) {
    return static_cast<GtkWebView*>(data)->PageSwallows(kMessageContextMenu) ? TRUE : FALSE;
}

gboolean GtkWebView::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    if (!static_cast<GtkWebView*>(data)->silent_) return FALSE;
    // No dialog is shown: an alert is dismissed, a confirmation answered "no", a prompt answered with
    // nothing (the page gets null); leaving a page is never held up.
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        break;
    default:
        break;
    }
    return TRUE;
}

gboolean GtkWebView::OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) {
    if (!static_cast<GtkWebView*>(data)->silent_) return FALSE;
    // A silent box asks nobody for a name and password; it goes on without them, so the server's
    // own answer (its 401 page) is shown. Cancelled, the request would leave the box blank.
    webkit_authentication_request_authenticate(request, nullptr);
    return TRUE;
}

gboolean GtkWebView::OnPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer data) {
    // Mouse-look games lock the pointer; the engine asks only after the player's click or key, and
    // Escape gives the pointer back, so there is nothing to ask the player.
    if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) {
        webkit_permission_request_allow(request);
        return TRUE;
    }
    if (!static_cast<GtkWebView*>(data)->silent_) return FALSE;
    webkit_permission_request_deny(request);
    return TRUE;
}

gboolean GtkWebView::OnPrint(WebKitWebView*, WebKitPrintOperation*, gpointer data) {
    return static_cast<GtkWebView*>(data)->silent_ ? TRUE : FALSE;
}

gboolean GtkWebView::OnFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer data) {
    if (!static_cast<GtkWebView*>(data)->silent_) return FALSE;
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

gboolean GtkWebView::OnColorChooser(WebKitWebView*, WebKitColorChooserRequest* request, gpointer data) {
    if (!static_cast<GtkWebView*>(data)->silent_) return FALSE;
    // Taken on, and cancelled (the input keeps its colour) once this signal has returned: WebKit
    // makes the request its chooser's own only then, and a request finished any earlier would stay
    // behind as the chooser's. The page's input counts its chooser as open for as long as its
    // document lives, so that input asks no more, also after Silent is cleared.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer pending) -> gboolean {
            webkit_color_chooser_request_cancel(WEBKIT_COLOR_CHOOSER_REQUEST(pending));
            return G_SOURCE_REMOVE;
        },
        g_object_ref(request), g_object_unref);
    return TRUE;
}

void GtkWebView::OnFrameCommitted(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    std::string address;
    if (FrameAddress(result, address)) static_cast<GtkWebView*>(data)->host_->NavigateComplete(address);
}

void GtkWebView::OnFrameReady(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    std::string address;
    if (FrameAddress(result, address)) static_cast<GtkWebView*>(data)->host_->DocumentComplete(address);
}

}  // namespace

double TextZoomFactor(int level) {
    static constexpr std::array<double, 5> kLevels{0.7, 0.85, 1.0, 1.15, 1.3};
    return kLevels[static_cast<std::size_t>(std::clamp(level, 0, 4))];
}

namespace {

// A new view, ours until released, whoever else comes to hold the widget.
WebKitWebView* MakeView() {
    const GObjectRef<WebKitUserContentManager> content(webkit_user_content_manager_new());
    // A later view shares the web process of a live one: the game window then needs no new
    // process. Its own content manager and settings are kept. Every view is of the launcher's
    // context, so all share one cookie jar and its store.
    WebKitWebView* related = LiveViews().empty() ? nullptr : LiveViews().front();
    GtkWidget* widget = GTK_WIDGET(related != nullptr
                                       ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", content.get(),
                                                      "related-view", related, nullptr)
                                       : g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", content.get(),
                                                      "web-context", LauncherWebContext(), nullptr));
    g_object_ref_sink(widget);
    return WEBKIT_WEB_VIEW(widget);
}

PreparedView& Prepared() {
    static PreparedView prepared;
    return prepared;
}

gboolean HoldPreparedAsk(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        webkit_policy_decision_ignore(decision);  // nothing but the page itself is let through
        return TRUE;
    }
    HoldDecision(Prepared().ask, decision);
    return TRUE;
}

// The prepared view, released for a host (its view nullptr when there is none).
PreparedView TakePreparedView() {
    PreparedView taken = std::exchange(Prepared(), PreparedView{});
    if (taken.view == nullptr) return taken;
    g_signal_handler_disconnect(taken.view, taken.askHandler);
    g_signal_handler_disconnect(taken.view, taken.endHandler);
    if (taken.expiry != 0) g_source_remove(taken.expiry);
    taken.askHandler = taken.endHandler = 0;
    taken.expiry = 0;
    return taken;
}

void DropPreparedView() {
    PreparedView dropped = TakePreparedView();
    DropDecision(dropped.ask);
    if (dropped.view != nullptr) g_object_unref(dropped.view);
}

}  // namespace

std::unique_ptr<WebView> CreateGtkWebView(WindowId parent, const Rect& rect, WebViewHost* host) {
    if (host == nullptr) return nullptr;
    static const bool downloadsWatched = [] {
        g_signal_connect(LauncherWebContext(), "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
        return true;
    }();
    (void)downloadsWatched;
    TraceStep("view-making");
    PreparedView prepared = TakePreparedView();
    WebKitWebView* made = prepared.view != nullptr ? prepared.view : MakeView();
    TraceStep("view-made");
    auto view = std::make_unique<GtkWebView>(made, host);
    view->TakePreparedLoad(std::move(prepared));
    if (!view->Attach(parent, rect)) return nullptr;
    TraceStep("view-attached");
    return view;
}

void PrepareGtkWebView(const std::string& url, const WebViewMode& mode) {
    DropPreparedView();
    if (url.empty()) return;
    PreparedView& p = Prepared();
    p.processRunning = !LiveViews().empty();
    p.view = MakeView();
    ApplyMode(p.view, mode);
    p.url = url;
    p.agent = UserAgentOf(p.view);
    p.askHandler = g_signal_connect(p.view, "decide-policy", G_CALLBACK(HoldPreparedAsk), nullptr);
    // A content process that ends takes the load with it: nothing is left to take over.
    p.endHandler = g_signal_connect(p.view, "web-process-terminated",
                                    G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason, gpointer) {
                                        DropPreparedView();
                                    }),
                                    nullptr);
    p.expiry = g_idle_add(+[](gpointer) {
        Prepared().expiry = 0;
        DropPreparedView();
        return G_SOURCE_REMOVE;
    }, nullptr);
    TraceStep("view-prepared");
    webkit_web_view_load_uri(p.view, url.c_str());
    const gchar* taken = webkit_web_view_get_uri(p.view);
    p.engineUrl = taken != nullptr ? taken : url;
}

}  // namespace kestrune::platform::gtk
