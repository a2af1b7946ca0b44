#include "TSession.h"

#include "EDatabaseError.h"
#include "TDatabase.h"
#include "TPasswordDialog.h"
#include "TTable.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>

namespace {

constexpr unsigned short kAlreadyInitialized = 0x2A07;
constexpr unsigned short kNoEntryCode = 0x2EC4; // the engine's own texts are left out for this one
constexpr unsigned short kAlwaysEngineText = 0x2F01;
constexpr int kMaxEntries = 64;

// The hourglass pointer while the engine starts, unless a pointer is already forced.
class WaitCursor {
public:
    WaitCursor() {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !QGuiApplication::overrideCursor()) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            set_ = true;
        }
    }
    ~WaitCursor() {
        if (set_)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool set_ = false;
};

QString hex4(unsigned short code) {
    return QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0'));
}

void closeDefaultSession() {
    TSession::Default().Close();
}

} // namespace

TSession& TSession::Default() {
    static TSession session;
    return session;
}

TSession::~TSession() {
    Close();
}

QString TSession::InitErrorMessage(unsigned short result) {
    return QStringLiteral("An error occurred while attempting to initialize the table engine (error $%1)")
        .arg(hex4(result));
}

void TSession::Start() {
    if (active_)
        return;
    WaitCursor wait;
    const unsigned short loaded = library_.load();
    if (loaded != 0)
        throw EDBEngineError(loaded, InitErrorMessage(loaded));
    ke_environment env{};
    std::strncpy(env.language, "0009", sizeof env.language - 1);
    const unsigned short result = library_.api().init(&env);
    if (result != KE_OK && result != kAlreadyInitialized) {
        library_.unload();
        throw EDBEngineError(result, InitErrorMessage(result));
    }
    active_ = true;
    // The session ends with the program: with the application object when there is one.
    if (!postRoutineAdded_ && QCoreApplication::instance()) {
        qAddPostRoutine(closeDefaultSession);
        postRoutineAdded_ = true;
    }
}

TDatabase* TSession::FindDatabase(const QString& name) const {
    for (const auto& db : databases_)
        if (db->DatabaseName().compare(name, Qt::CaseInsensitive) == 0)
            return db.get();
    return nullptr;
}

TDatabase* TSession::OpenDatabase(const QString& name) {
    Start();
    TDatabase* db = FindDatabase(name);
    if (!db) {
        auto created = std::make_unique<TDatabase>(name);
        created->Connect(Api()); // a connection that fails here is simply not kept
        db = created.get();
        databases_.push_back(std::move(created));
    } else {
        db->Connect(Api());
    }
    db->AddUser();
    return db;
}

void TSession::AddPassword(const QString& password) {
    Start();
    Check(Api().add_password(password.left(255).toUtf8().constData()));
}

void TSession::RemovePassword(const QString& password) {
    Start();
    Check(Api().drop_password(password.left(255).toUtf8().constData()));
}

void TSession::RemoveAllPasswords() {
    Start();
    Check(Api().drop_password(nullptr));
}

bool TSession::GetPassword() {
    if (passwordPrompt_)
        return passwordPrompt_();
    TPasswordDialog dialog(*this);
    return dialog.exec() == 1;
}

QString TSession::ErrorMessage(unsigned short result) const {
    if (!active_ && result != kAlwaysEngineText)
        return InitErrorMessage(result);
    QStringList texts;
    auto add = [&texts](const QString& raw) {
        const QString text = raw.trimmed();
        if (text.isEmpty())
            return;
        for (const QString& present : texts)
            if (present.compare(text, Qt::CaseInsensitive) == 0)
                return;
        texts << text;
    };
    const EngineApi& api = library_.api();
    char buffer[1024];
    auto engineText = [&](unsigned short code) -> QString {
        buffer[0] = 0;
        if (!api.error_text || api.error_text(code, buffer, sizeof buffer) != KE_OK)
            return {};
        buffer[sizeof buffer - 1] = 0;
        return QString::fromUtf8(buffer);
    };
    if (library_.loaded()) {
        if (result != kNoEntryCode)
            add(engineText(result));
        for (uint16_t entry = 1; entry <= kMaxEntries; ++entry) {
            ke_result code = 0;
            int32_t native = 0;
            char context[1024] = {};
            if (api.error_entry(entry, &code, &native, context, sizeof context) != KE_OK)
                break;
            context[sizeof context - 1] = 0;
            if (native == 0 && result != kNoEntryCode)
                add(engineText(code));
            add(QString::fromUtf8(context));
        }
    }
    if (texts.isEmpty())
        return QStringLiteral("Engine error $%1").arg(hex4(result));
    return texts.join(u'\n');
}

void TSession::Check(unsigned short result) const {
    if (result != KE_OK)
        throw EDBEngineError(result, ErrorMessage(result));
}

void TSession::Close() noexcept {
    // Copy: closing a table unregisters it.
    const std::set<TTable*> open = tables_;
    for (TTable* table : open)
        table->closeForSessionEnd();
    tables_.clear();
    if (library_.loaded()) {
        for (auto& db : databases_)
            db->Disconnect(library_.api());
        if (active_)
            library_.api().exit();
    }
    databases_.clear();
    library_.unload();
    active_ = false;
}
