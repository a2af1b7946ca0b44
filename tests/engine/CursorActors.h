// Cursors that the identity tests drive: one in this process, or one in a
// child process that gets its calls as lines through a pipe (as a second copy
// of the program on the same card index would be). A card is the client
// table's record with a short name and a version: "r03 v0".
#pragma once

#include "EngineTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace enginetest {

inline Row card(const std::string& name, int version = 0)
{
    return {name.substr(0, 5), name, "v" + std::to_string(version)};
}

inline std::string nameOf(const ke::Cursor& c, const std::vector<uint8_t>& rec)
{
    return rowOf(c.header(), rec.data())[1];
}

inline std::string cardOf(const ke::Cursor& c, const std::vector<uint8_t>& rec)
{
    const Row row = rowOf(c.header(), rec.data());
    return row[1] + " " + row[2];
}

// What a cursor shows now, "-" when it shows nothing.
inline std::string shown(ke::Cursor& c)
{
    std::vector<uint8_t> rec(c.header().recordSize);
    return errorOf([&] { c.current(false, rec.data()); }) == KE_OK ? nameOf(c, rec) : "-";
}

// A step's answer: the card's text (`describe` gives it), "EOF", "BOF" or "error".
inline std::string stepAnswer(ke::Cursor& c, uint16_t result, const std::vector<uint8_t>& rec,
                              std::string (*describe)(const ke::Cursor&, const std::vector<uint8_t>&))
{
    return result == KE_OK ? describe(c, rec) : result == KE_ERR_EOF ? "EOF" : result == KE_ERR_BOF ? "BOF" : "error";
}

inline std::string step(ke::Cursor& c, bool forwards)
{
    std::vector<uint8_t> rec(c.header().recordSize);
    const uint16_t r = errorOf([&] { forwards ? c.next(false, rec.data()) : c.prior(false, rec.data()); });
    return stepAnswer(c, r, rec, nameOf);
}

inline void standOn(ke::Cursor& c, const std::string& name)
{
    c.setToBegin();
    while (step(c, true) != name) {
    }
}

// A table of the given cards in a folder, five to a block.
inline QString makeTable(const QString& folder, const std::vector<std::string>& names)
{
    const QString path = folder + "/data.DB";
    ke::NewTable layout = ke::clientTableLayout();
    layout.blockSizeKiB = 1;
    ke::createTable(path.toStdString(), layout);
    ke::Cursor c(path.toStdString(), {});
    for (const std::string& n : names) {
        c.setToEnd();
        const auto r = makeRecord(c.header(), card(n));
        c.insert(r.data(), false);
    }
    return path;
}

inline QString makeTable(QTemporaryDir& dir, const std::vector<std::string>& names)
{
    return makeTable(dir.path(), names);
}

// The table's cards in order, by name or as "name vN".
inline QStringList cardsIn(const std::string& path, bool withVersion)
{
    QStringList cards;
    for (const Row& r : readAll(path))
        cards << QString::fromStdString(withVersion ? r[1] + " " + r[2] : r[1]);
    return cards;
}

inline QString order(const QString& path) { return cardsIn(path.toStdString(), false).join(','); }

class Actor {
public:
    virtual ~Actor() = default;
    // A new cursor on the table (the old one closed), before the first card.
    virtual void open(const std::string& path) = 0;
    // Before the first card again, as just opened.
    virtual void rewind() = 0;
    virtual void standOn(const std::string& name) = 0;
    virtual uint16_t insert(const std::string& name) = 0; // before the card shown
    virtual uint16_t append(const std::string& name) = 0; // after the last card
    virtual uint16_t modify(const std::string& name, int version) = 0;
    virtual uint16_t remove() = 0;
    // Next or prior: the card reached ("name vN"), "EOF", "BOF" or "error".
    virtual std::string step(bool forwards) = 0;
    // First (forwards) or last.
    virtual std::string toEnd(bool forwards) = 0;
    // "code name version" of the current record, with or without the record lock.
    virtual std::string current(bool lock) = 0;
};

class LocalActor final : public Actor {
public:
    LocalActor() = default;
    explicit LocalActor(const std::string& path) { open(path); }
    void open(const std::string& path) override
    {
        m_cursor.reset();
        m_cursor = std::make_unique<ke::Cursor>(path, ke::OpenOptions{});
    }
    void rewind() override { m_cursor->setToBegin(); }
    void standOn(const std::string& name) override { enginetest::standOn(*m_cursor, name); }
    uint16_t insert(const std::string& name) override
    {
        const auto r = makeRecord(m_cursor->header(), card(name));
        return errorOf([&] { m_cursor->insert(r.data(), false); });
    }
    uint16_t append(const std::string& name) override
    {
        m_cursor->setToEnd();
        return insert(name);
    }
    uint16_t modify(const std::string& name, int version) override
    {
        const auto r = makeRecord(m_cursor->header(), card(name, version));
        return errorOf([&] { m_cursor->modify(r.data(), true); });
    }
    uint16_t remove() override { return errorOf([&] { m_cursor->remove(); }); }
    std::string step(bool forwards) override
    {
        std::vector<uint8_t> rec(m_cursor->header().recordSize);
        const uint16_t r = errorOf([&] { forwards ? m_cursor->next(false, rec.data()) : m_cursor->prior(false, rec.data()); });
        return stepAnswer(*m_cursor, r, rec, cardOf);
    }
    std::string toEnd(bool forwards) override
    {
        forwards ? m_cursor->setToBegin() : m_cursor->setToEnd();
        return step(forwards);
    }
    std::string current(bool lock) override
    {
        std::vector<uint8_t> rec(m_cursor->header().recordSize);
        const uint16_t code = errorOf([&] { m_cursor->current(lock, rec.data()); });
        if (code != KE_OK)
            return std::to_string(code);
        if (lock)
            m_cursor->releaseLock();
        return "0 " + cardOf(*m_cursor, rec);
    }

private:
    std::unique_ptr<ke::Cursor> m_cursor;
};

class RemoteActor final : public Actor {
public:
    RemoteActor()
    {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0)
            qFatal("no pipe");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            serve(down[0], up[1]);
        }
        ::close(down[0]);
        ::close(up[1]);
        m_to = down[1];
        m_from = ::fdopen(up[0], "r");
    }
    explicit RemoteActor(const std::string& path) : RemoteActor() { open(path); }
    ~RemoteActor() override
    {
        ::close(m_to);
        std::fclose(m_from);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    void open(const std::string& path) override { call("O " + path); }
    void rewind() override { call("R"); }
    void standOn(const std::string& name) override { call("S " + name); }
    uint16_t insert(const std::string& name) override { return uint16_t(std::stoi(call("I " + name))); }
    uint16_t append(const std::string& name) override { return uint16_t(std::stoi(call("A " + name))); }
    uint16_t modify(const std::string& name, int version) override
    {
        return uint16_t(std::stoi(call("M " + name + " " + std::to_string(version))));
    }
    uint16_t remove() override { return uint16_t(std::stoi(call("X"))); }
    std::string step(bool forwards) override { return call(forwards ? "N" : "P"); }
    std::string toEnd(bool forwards) override { return call(forwards ? "F" : "E"); }
    std::string current(bool lock) override { return call(lock ? "K" : "C"); }

private:
    std::string call(const std::string& line)
    {
        const std::string out = line + "\n";
        if (::write(m_to, out.data(), out.size()) != ssize_t(out.size()))
            qFatal("the other process is gone");
        char reply[512] = {};
        if (!std::fgets(reply, sizeof reply, m_from))
            qFatal("the other process is gone");
        std::string r(reply);
        if (!r.empty() && r.back() == '\n')
            r.pop_back();
        return r;
    }

    [[noreturn]] static void serve(int in, int out)
    {
        FILE* commands = ::fdopen(in, "r");
        LocalActor self;
        char line[512];
        while (std::fgets(line, sizeof line, commands)) {
            std::string cmd(line);
            cmd.pop_back();
            const std::string arg = cmd.size() > 2 ? cmd.substr(2) : std::string();
            std::string reply = "0";
            switch (cmd[0]) {
            case 'O': self.open(arg); break;
            case 'R': self.rewind(); break;
            case 'S': self.standOn(arg); break;
            case 'I': reply = std::to_string(self.insert(arg)); break;
            case 'A': reply = std::to_string(self.append(arg)); break;
            case 'M': {
                const auto space = arg.find(' ');
                reply = std::to_string(self.modify(arg.substr(0, space), std::stoi(arg.substr(space + 1))));
                break;
            }
            case 'X': reply = std::to_string(self.remove()); break;
            case 'N': reply = self.step(true); break;
            case 'P': reply = self.step(false); break;
            case 'F': reply = self.toEnd(true); break;
            case 'E': reply = self.toEnd(false); break;
            case 'K': reply = self.current(true); break;
            default: reply = self.current(false); break;
            }
            reply += "\n";
            if (::write(out, reply.data(), reply.size()) != ssize_t(reply.size()))
                break;
        }
        _exit(0);
    }

    pid_t m_pid = -1;
    int m_to = -1;
    FILE* m_from = nullptr;
};

} // namespace enginetest
