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

    // Loads the library; returns 0 or the load failure: $2108 no file of the
    // library's name along the search path, $2501 out of memory, $2109 other
    // load failure, $2117 not found and the engine configuration cannot be
    // read (it might have named the folder), $2A06 no initialisation entry.
    unsigned short load();
    void unload() noexcept;
    bool loaded() const { return handle_ != nullptr; }
    const EngineApi& api() const { return api_; }
    // The file that was loaded.
    QString path() const { return path_; }

    // The candidates tried in order: full paths, and last the bare file name
    // for the system's search. configurationReadable (may be null) tells
    // whether the engine configuration could be read.
    static QStringList candidates(bool* configurationReadable = nullptr);
    // The library paths of the engine configuration, read by the engine's own
    // reader (src/engine/config): /etc/kartoteka/engine.conf,
    // $XDG_CONFIG_HOME/kartoteka/engine.conf, then the file named by
    // KARTOTEKA_ENGINE_CONFIG. A configuration the engine refuses gives none,
    // and *readable (may be null) false.
    static QStringList configuredLibraryPaths(bool* readable = nullptr);

    // Tests: replaces the executable's directory (empty: no override), and can
    // leave out the configuration and system search.
    static void setProgramDirectoryForTests(const QString& directory, bool searchElsewhere = true);

private:
    void* handle_ = nullptr;
    EngineApi api_;
    QString path_;
};
