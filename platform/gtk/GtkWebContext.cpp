#include "platform/gtk/GtkWebContext.h"

#include <cstdlib>
#include <optional>

#include "platform/linux/WebDataStore.h"

namespace kestrune::platform::gtk {

namespace {

// The data manager over the prepared data folder; an ephemeral one when there is no folder.
WebKitWebsiteDataManager* CreateDataManager(std::optional<std::string>& cookieFile) {
    const std::optional<WebDataLocation> location = UserWebDataLocation();
    const WebDataPreparation prepared = location ? PrepareWebData(*location) : WebDataPreparation{};
    if (!prepared.folders) {
        g_warning("kestrune: no data folder for the web views; cookies and site data stay in memory");
        return webkit_website_data_manager_new_ephemeral();
    }
    switch (prepared.cookies) {
    case CookieStoreState::SetAside:
        g_warning("kestrune: the cookie store could not be used; it was kept as %s and a new one begun",
                  prepared.setAsideAs.c_str());
        [[fallthrough]];
    case CookieStoreState::Created:
    case CookieStoreState::Kept:
        cookieFile = location->cookieFile;
        break;
    case CookieStoreState::Unusable:
        g_warning("kestrune: no cookie store can be made in %s; cookies last for this run only",
                  location->folder.c_str());
        break;
    }
    return WEBKIT_WEBSITE_DATA_MANAGER(g_object_new(WEBKIT_TYPE_WEBSITE_DATA_MANAGER, "base-data-directory",
                                                    location->siteData.c_str(), "base-cache-directory",
                                                    location->cache.c_str(), nullptr));
}

}  // namespace

WebKitWebContext* LauncherWebContext() {
    static WebKitWebContext* context = nullptr;
    if (context != nullptr) return context;
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);

    std::optional<std::string> cookieFile;
    WebKitWebsiteDataManager* manager = CreateDataManager(cookieFile);
    context = webkit_web_context_new_with_website_data_manager(manager);
    webkit_website_data_manager_set_tls_errors_policy(manager, WEBKIT_TLS_ERRORS_POLICY_FAIL);
    WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(manager);
    webkit_cookie_manager_set_accept_policy(cookies, WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
    // Set before any view loads: the network process opens the store when it starts.
    if (cookieFile)
        webkit_cookie_manager_set_persistent_storage(cookies, cookieFile->c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    g_object_unref(manager);  // the context holds it
    return context;
}

}  // namespace kestrune::platform::gtk
