#include "TDatabase.h"

#include "EngineApi.h"
#include "EDatabaseError.h"
#include "TSession.h"

void TDatabase::Connect(const EngineApi& api) {
    if (handle_)
        return;
    ke_database* db = nullptr;
    TSession::Default().Check(api.open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db));
    const unsigned short result = api.set_directory(db, name_.toUtf8().constData());
    if (result != KE_OK) {
        const QString message = TSession::Default().ErrorMessage(result);
        api.close_database(db);
        throw EDBEngineError(result, message);
    }
    handle_ = db;
}

void TDatabase::Disconnect(const EngineApi& api) noexcept {
    if (handle_ && api.close_database)
        api.close_database(handle_);
    handle_ = nullptr;
}
