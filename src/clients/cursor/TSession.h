#pragma once

#include "EngineLibrary.h"

#include <QString>
#include <functional>
#include <memory>
#include <set>
#include <vector>

class TDatabase;
class TTable;

// The engine session of the program: started by the first Open (the engine
// library is loaded and initialised then), it keeps one connection per
// database name (compared without regard to case) until the program ends.
class TSession {
public:
    static TSession& Default();
    ~TSession();

    bool Active() const { return active_; }
    // Loads and initialises the engine, the first time only. Shows the
    // hourglass pointer meanwhile (when no other pointer is forced).
    // Failure: "An error occurred while attempting to initialize the table engine (error $....)".
    void Start();
    const EngineApi& Api() const { return library_.api(); }
    QString LibraryPath() const { return library_.path(); }

    // The connection for a name: found without regard to case, else created
    // and connected (a connection that fails to connect is dropped again).
    // The caller becomes one of its users.
    TDatabase* OpenDatabase(const QString& name);
    TDatabase* FindDatabase(const QString& name) const;
    int DatabaseCount() const { return static_cast<int>(databases_.size()); }

    // The session's passwords for protected tables.
    void AddPassword(const QString& password);
    void RemovePassword(const QString& password);
    void RemoveAllPasswords();
    // Asks the user for a password (TPasswordDialog); true for OK. Tests may replace it.
    bool GetPassword();
    void setPasswordPrompt(std::function<bool()> prompt) { passwordPrompt_ = std::move(prompt); }

    // Throws the engine's error for a failed result (does nothing for 0).
    void Check(unsigned short result) const;
    // The message for an engine result, from the engine's texts and error stack.
    QString ErrorMessage(unsigned short result) const;
    static QString InitErrorMessage(unsigned short result);

    // Program end: closes the open cursors (pending changes are dropped), the
    // connections and the engine, and unloads the library. A later Start
    // begins afresh.
    void Close() noexcept;

private:
    friend class TTable;
    TSession() = default;
    void registerTable(TTable* table) { tables_.insert(table); }
    void unregisterTable(TTable* table) { tables_.erase(table); }

    EngineLibrary library_;
    bool active_ = false;
    bool postRoutineAdded_ = false;
    std::vector<std::unique_ptr<TDatabase>> databases_;
    std::set<TTable*> tables_;
    std::function<bool()> passwordPrompt_;
};
