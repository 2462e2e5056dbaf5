// Where the kit keeps its files: documents (archives, user defaults), caches and a temporary folder.
// Defaults follow XDG (documents under $XDG_DATA_HOME/velkora/<app>, caches under
// $XDG_CACHE_HOME/velkora/<app>, temp under $TMPDIR/velkora-<app>-<uid>, private to the user); a host or a test can set
// one root for all three (root/Documents, root/Caches, root/tmp) or each folder alone. Every getter creates its folder
// when it is missing.
#pragma once

#include <string>

namespace velkora::foundation {

struct Paths {
    static std::string documents();
    static std::string caches();
    static std::string temp();

    // The <app> part of the defaults: the host's name for itself (default: the program's file name).
    static std::string appName();
    static void setAppName(const std::string& name);

    // Sets documents, caches and temp below one folder.
    static void setRoot(const std::string& root);
    static void setDocuments(const std::string& path);
    static void setCaches(const std::string& path);
    static void setTemp(const std::string& path);
    // Back to the XDG defaults.
    static void reset();
};

} // namespace velkora::foundation
