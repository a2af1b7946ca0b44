#pragma once

#include <QString>

struct EngineApi;
struct ke_database;

// One connection of the engine session to a database (here: a directory of
// tables). Cursors on it count as its users; the connection stays open when
// the last user goes, until the session closes.
class TDatabase {
public:
    explicit TDatabase(QString name) : name_(std::move(name)) {}
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    QString DatabaseName() const { return name_; }
    ke_database* Handle() const { return handle_; }
    bool Connected() const { return handle_ != nullptr; }
    int Users() const { return users_; }

    // Opens the engine's standard database read-write, shared, without a
    // password, and sets its directory to the name. Errors are thrown.
    void Connect(const EngineApi& api);
    void Disconnect(const EngineApi& api) noexcept;
    void AddUser() { ++users_; }
    void RemoveUser() { if (users_ > 0) --users_; }

private:
    QString name_;
    ke_database* handle_ = nullptr;
    int users_ = 0;
};
