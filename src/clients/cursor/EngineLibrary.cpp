#include "EngineLibrary.h"

#include "EngineConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <glob.h>
#include <link.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

QString g_programDirectoryOverride;
bool g_searchElsewhere = true;

constexpr unsigned short kNotFound = 0x2108;
constexpr unsigned short kLoadFailed = 0x2109;
constexpr unsigned short kNoMemory = 0x2501;
constexpr unsigned short kBadConfiguration = KE_ERR_CONFIG;
constexpr unsigned short kNoInitEntry = 0x2A06;

QString programDirectory() {
    if (!g_programDirectoryOverride.isEmpty())
        return g_programDirectoryOverride;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

// Why a file that is there did not load. The dynamic loader's message is in
// the user's language, so it is compared with the system's own text for
// "out of memory" in that language, never with English words.
unsigned short loadFailure(const char* error) {
    if (error && (std::strstr(error, std::strerror(ENOMEM)) || std::strstr(error, "out of memory")))
        return kNoMemory;
    return kLoadFailed;
}

// The folders of /etc/ld.so.conf and the files it includes: what the loader's
// cache holds.
void addConfiguredSystemFolders(const QString& file, QStringList& folders, int depth = 0) {
    QFile f(file);
    if (depth > 8 || !f.open(QIODevice::ReadOnly))
        return;
    const QString here = QFileInfo(file).absolutePath();
    for (const QByteArray& raw : f.readAll().split('\n')) {
        QString line = QFile::decodeName(raw);
        line = line.left(line.indexOf(u'#')).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("include")) && line.size() > 7 && line.at(7).isSpace()) {
            QString pattern = line.mid(8).trimmed();
            if (!pattern.startsWith(u'/'))
                pattern = here + u'/' + pattern;
            glob_t found{};
            if (::glob(QFile::encodeName(pattern).constData(), 0, nullptr, &found) == 0)
                for (size_t i = 0; i < found.gl_pathc; ++i)
                    addConfiguredSystemFolders(QFile::decodeName(found.gl_pathv[i]), folders, depth + 1);
            ::globfree(&found);
        } else if (line.startsWith(u'/')) {
            folders << line;
        }
    }
}

// The folders the system's search looks in for a bare file name: the search
// path the dynamic loader reports for the program (LD_LIBRARY_PATH, the
// program's run path, the default folders), then the folders of its cache.
QStringList systemSearchFolders() {
    QStringList folders;
    if (void* self = dlopen(nullptr, RTLD_NOW)) {
        Dl_serinfo size{};
        if (dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size >= sizeof(Dl_serinfo)) {
            std::unique_ptr<char[]> buffer(new char[size.dls_size]);
            auto* info = reinterpret_cast<Dl_serinfo*>(buffer.get());
            std::memcpy(info, &size, sizeof size);
            if (dlinfo(self, RTLD_DI_SERINFO, info) == 0)
                for (unsigned i = 0; i < info->dls_cnt; ++i)
                    folders << QFile::decodeName(info->dls_serpath[i].dls_name);
        }
        dlclose(self);
    }
    addConfiguredSystemFolders(QStringLiteral("/etc/ld.so.conf"), folders);
    folders.removeDuplicates();
    return folders;
}

// Whether the system's search can see a file of that name at all.
bool systemSearchFinds(const QString& name) {
    for (const QString& folder : systemSearchFolders())
        if (!folder.isEmpty() && QFileInfo::exists(QDir(folder).filePath(name)))
            return true;
    return false;
}

} // namespace

void EngineLibrary::setProgramDirectoryForTests(const QString& directory, bool searchElsewhere) {
    g_programDirectoryOverride = directory;
    g_searchElsewhere = searchElsewhere;
}

QStringList EngineLibrary::configuredLibraryPaths(bool* readable) {
    ke::EngineConfig config;
    std::string error;
    const bool ok = ke::EngineConfig::load(config, error);
    if (readable)
        *readable = ok;
    QStringList paths;
    for (const std::string& path : config.libraryPaths)
        paths << QFile::decodeName(QByteArray::fromStdString(path));
    return paths;
}

QStringList EngineLibrary::candidates(bool* configurationReadable) {
    const QString name = QString::fromLatin1(kFileName);
    QStringList list;
    const QString dir = programDirectory();
    if (!dir.isEmpty())
        list << QDir(dir).filePath(name);
    if (configurationReadable)
        *configurationReadable = true;
    if (g_searchElsewhere) {
        for (const QString& d : configuredLibraryPaths(configurationReadable))
            list << QDir(d).filePath(name);
        list << name;
    }
    list.removeDuplicates();
    return list;
}

unsigned short EngineLibrary::load() {
    if (handle_)
        return 0;
    bool configurationReadable = true;
    unsigned short failure = kNotFound;
    for (const QString& candidate : candidates(&configurationReadable)) {
        // Whether the engine is there is decided by looking for its file, never
        // by reading the dynamic loader's message (it is in the user's
        // language). A file that is not there is simply the next candidate; a
        // file that is there and cannot be loaded is a load failure.
        const bool bare = !candidate.contains(u'/');
        if (!bare && !QFileInfo::exists(candidate))
            continue;
        const QByteArray file = QFile::encodeName(candidate);
        dlerror();
        void* handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* error = dlerror();
            if (bare && !systemSearchFinds(candidate))
                continue;
            failure = loadFailure(error);
            break;
        }
        handle_ = handle;
        path_ = candidate;
        failure = 0;
        break;
    }
    // A configuration the engine would refuse names no folders; when the
    // engine is found nowhere else, that is the reason to give.
    if (failure == kNotFound && !configurationReadable)
        failure = kBadConfiguration;
    if (failure)
        return failure;

    auto resolve = [this](auto& entry, const char* symbol) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(handle_, symbol));
        return entry != nullptr;
    };
    if (!resolve(api_.init, "ke_init")) {
        unload();
        return kNoInitEntry;
    }
    const bool all = resolve(api_.exit, "ke_exit") && resolve(api_.open_database, "ke_open_database") &&
        resolve(api_.close_database, "ke_close_database") && resolve(api_.set_directory, "ke_set_directory") &&
        resolve(api_.open_table, "ke_open_table") && resolve(api_.close_cursor, "ke_close_cursor") &&
        resolve(api_.get_cursor_props, "ke_get_cursor_props") &&
        resolve(api_.get_field_descs, "ke_get_field_descs") && resolve(api_.set_to_begin, "ke_set_to_begin") &&
        resolve(api_.set_to_end, "ke_set_to_end") && resolve(api_.get_record, "ke_get_record") &&
        resolve(api_.get_next_record, "ke_get_next_record") &&
        resolve(api_.get_prior_record, "ke_get_prior_record") && resolve(api_.init_record, "ke_init_record") &&
        resolve(api_.get_field, "ke_get_field") && resolve(api_.put_field, "ke_put_field") &&
        resolve(api_.verify_field, "ke_verify_field") &&
        resolve(api_.make_insertion_point, "ke_make_insertion_point") &&
        resolve(api_.insert_record, "ke_insert_record") && resolve(api_.modify_record, "ke_modify_record") &&
        resolve(api_.delete_record, "ke_delete_record") &&
        resolve(api_.release_record_lock, "ke_release_record_lock") &&
        resolve(api_.add_password, "ke_add_password") && resolve(api_.drop_password, "ke_drop_password") &&
        resolve(api_.error_text, "ke_error_text") && resolve(api_.error_entry, "ke_error_entry") &&
        resolve(api_.native_to_unicode, "ke_native_to_unicode") &&
        resolve(api_.unicode_to_native, "ke_unicode_to_native");
    if (!all) {
        unload();
        return kLoadFailed;
    }
    return 0;
}

void EngineLibrary::unload() noexcept {
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
    api_ = EngineApi{};
    path_.clear();
}
