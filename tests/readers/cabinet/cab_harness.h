#pragma once

// A cabinet engine client for tests: extracts every member it is offered (into memory
// or into a folder), records the notifications it gets, and answers as told.

#include "readers/cabinet/cab_io.h"
#include "readers/cabinet/cabinet.h"
#include "temp_dir.h"

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tressel::test::cab {

struct Event {
    Event(CabNotify k, std::string n = {}, int64_t s = 0, uint16_t a = 0, int e = 0)
        : kind(k), name(std::move(n)), size(s), attributes(a), lastError(e) {}
    CabNotify kind;
    std::string name;
    int64_t size;
    uint16_t attributes;
    int lastError;
    bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << "{" << int(e.kind) << " " << e.name << " size " << e.size << " attr "
               << e.attributes << " last " << e.lastError << "}";
}

class Harness {
public:
    // In memory (outputFolder empty) or, with the file callbacks, into outputFolder.
    explicit Harness(std::string outputFolder = {}) : m_folder(std::move(outputFolder)) {
        m_callbacks = m_folder.empty() ? files.callbacks() : CabFileCallbacks();
        engine = CabCreate(m_callbacks, 1, &error);
    }
    ~Harness() { CabDestroy(engine); }

    bool copy(std::string_view name, std::string_view path = "") {
        events.clear();
        return CabCopy(engine, name, path, 0, Notify, decrypt, this);
    }

    // Answers to give instead of the usual ones; nullopt keeps the usual one.
    std::function<std::optional<intptr_t>(CabNotify, CabNotification&)> answer;
    CabDecryptFn decrypt = nullptr;

    CabMemoryFiles files;
    CabError error;
    CabContext* engine = nullptr;
    std::vector<Event> events;
    std::map<std::string, std::string> members; // what was written, by member name

private:
    static intptr_t Notify(CabNotify kind, CabNotification& record) {
        auto* self = static_cast<Harness*>(record.user);
        const bool member = kind == CabNotify::CopyFile || kind == CabNotify::CloseFile ||
                            kind == CabNotify::PartialFile;
        self->events.push_back({kind, member && record.name ? record.name : "",
                                member ? record.size : 0, record.attributes, record.lastError});
        // A target handed back is closed whatever the answer.
        const intptr_t usual =
            kind == CabNotify::CloseFile ? self->closeTarget(record.name, record.handle) : 0;
        if (self->answer) {
            if (const auto given = self->answer(kind, record))
                return *given;
        }
        if (kind == CabNotify::CopyFile)
            return self->openTarget(record.name);
        return usual;
    }

    CabHandle openTarget(const std::string& name) {
        if (m_folder.empty())
            return files.createOutput();
        std::string leaf = name.substr(name.find_last_of('\\') + 1);
        return ::open((m_folder + leaf).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }

    intptr_t closeTarget(const std::string& name, CabHandle handle) {
        if (m_folder.empty()) {
            members[name] = files.output(handle);
            m_callbacks.close(m_callbacks.context, handle);
            return 1;
        }
        ::close(int(handle));
        members[name] = ReadWholeFile(m_folder + name.substr(name.find_last_of('\\') + 1));
        return 1;
    }

    std::string m_folder;
    CabCallbacks m_callbacks;
};

} // namespace tressel::test::cab
