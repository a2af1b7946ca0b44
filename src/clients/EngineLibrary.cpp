#include "EngineLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <dlfcn.h>

namespace {

QString g_programDirectoryOverride;
bool g_searchElsewhere = true;

constexpr unsigned short kNotFound = 0x2108;
constexpr unsigned short kLoadFailed = 0x2109;
constexpr unsigned short kNoMemory = 0x2501;
constexpr unsigned short kNoInitEntry = 0x2A06;

QString programDirectory() {
    if (!g_programDirectoryOverride.isEmpty())
        return g_programDirectoryOverride;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

QStringList readLibraryPaths(const QString& file) {
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
        return {};
    return EngineLibrary::parseLibraryPaths(QString::fromUtf8(f.readAll()));
}

unsigned short classify(const char* error) {
    const QString text = QString::fromLocal8Bit(error ? error : "");
    if (text.contains(QLatin1String("No such file or directory")))
        return kNotFound;
    if (text.contains(QLatin1String("Cannot allocate memory")) || text.contains(QLatin1String("out of memory")))
        return kNoMemory;
    return kLoadFailed;
}

} // namespace

void EngineLibrary::setProgramDirectoryForTests(const QString& directory, bool searchElsewhere) {
    g_programDirectoryOverride = directory;
    g_searchElsewhere = searchElsewhere;
}

QStringList EngineLibrary::parseLibraryPaths(const QString& configText) {
    QStringList paths;
    const QStringList lines = configText.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';') || line.startsWith(u'['))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        if (key != QLatin1String("library_path") && key != QLatin1String("library_paths"))
            continue;
        const QStringList dirs = line.mid(eq + 1).split(u':', Qt::SkipEmptyParts);
        for (const QString& dir : dirs) {
            QString d = dir.trimmed();
            if (d.startsWith(QLatin1String("~/")))
                d = QDir::homePath() + d.mid(1);
            if (!d.isEmpty())
                paths << d;
        }
    }
    return paths;
}

QStringList EngineLibrary::configuredLibraryPaths() {
    QStringList paths;
    // The engine reads the same files in this order.
    paths << readLibraryPaths(QStringLiteral("/etc/kartoteka/engine.conf"));
    paths << readLibraryPaths(QDir::homePath() + QLatin1String("/.config/kartoteka/engine.conf"));
    paths << readLibraryPaths(qEnvironmentVariable("KARTOTEKA_ENGINE_CONFIG"));
    return paths;
}

QStringList EngineLibrary::candidates() {
    const QString name = QString::fromLatin1(kFileName);
    QStringList list;
    const QString dir = programDirectory();
    if (!dir.isEmpty())
        list << QDir(dir).filePath(name);
    if (g_searchElsewhere) {
        for (const QString& d : configuredLibraryPaths())
            list << QDir(d).filePath(name);
        list << name;
    }
    list.removeDuplicates();
    return list;
}

unsigned short EngineLibrary::load() {
    if (handle_)
        return 0;
    unsigned short failure = kNotFound;
    for (const QString& candidate : candidates()) {
        const bool bare = !candidate.contains(u'/');
        // A named file that is not there is simply the next candidate; only a
        // file that exists and cannot be loaded is a load failure.
        if (!bare && !QFileInfo::exists(candidate))
            continue;
        const QByteArray file = QFile::encodeName(candidate);
        dlerror();
        void* handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const unsigned short code = classify(dlerror());
            if (code != kNotFound) {
                failure = code;
                break;
            }
            continue;
        }
        handle_ = handle;
        path_ = candidate;
        failure = 0;
        break;
    }
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
