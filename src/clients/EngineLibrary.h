#pragma once

#include "EngineApi.h"

#include <QString>
#include <QStringList>

// Finds and loads the engine library (libkartoteka-engine.so) and resolves
// its entry points. Search order: the directory of the executable (never the
// current directory), the library paths named in the engine configuration
// files, then the system's standard search.
class EngineLibrary {
public:
    static constexpr const char* kFileName = "libkartoteka-engine.so";

    EngineLibrary() = default;
    ~EngineLibrary() { unload(); }
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    // Loads the library; returns 0 or the load failure: $2108 file or path not
    // found, $2501 out of memory, $2109 other load failure, $2A06 no
    // initialisation entry.
    unsigned short load();
    void unload() noexcept;
    bool loaded() const { return handle_ != nullptr; }
    const EngineApi& api() const { return api_; }
    // The file that was loaded.
    QString path() const { return path_; }

    // The candidates tried in order: full paths, and last the bare file name
    // for the system's search.
    static QStringList candidates();
    // The library paths of the configuration files, in the engine's order:
    // /etc/kartoteka/engine.conf, ~/.config/kartoteka/engine.conf, then the
    // file named by KARTOTEKA_ENGINE_CONFIG.
    static QStringList configuredLibraryPaths();
    // Lines "library_path = <dir>" ("#" and ";" start comments, several
    // directories may be separated by ":").
    static QStringList parseLibraryPaths(const QString& configText);

    // Tests: replaces the executable's directory (empty: no override), and can
    // leave out the configuration and system search.
    static void setProgramDirectoryForTests(const QString& directory, bool searchElsewhere = true);

private:
    void* handle_ = nullptr;
    EngineApi api_;
    QString path_;
};
