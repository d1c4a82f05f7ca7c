// Test helpers: a temporary folder, the current folder changed for a scope,
// a recording message presenter and an in-memory settings store.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/names.h"
#include "services/message_box.h"
#include "services/settings_store.h"

namespace kel_test {

// A fresh folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // A name in the folder, as the program holds names (UTF-8 on Windows too).
    std::string File(const std::string& name) const { return platform::NameOf(path_ / platform::PathOf(name)); }

private:
    std::filesystem::path path_;
};

// Makes `folder` the current folder until the end of the scope.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder);
    ~CurrentFolder();

private:
    std::filesystem::path previous_;
};

struct RecordedMessage {
    platform::MessageKind kind;
    std::string caption;
    std::string text;
};

// Keeps every message box instead of showing it.
class RecordingPresenter : public platform::MessagePresenter {
public:
    int Present(platform::MessageKind kind, const char* caption, const char* text) override
    {
        messages.push_back({kind, caption, text});
        return platform::kIdOk;
    }
    // Keeps the question and gives the next of `answers` (a choice's text), or the safe choice.
    int Ask(const char*, const char* question, const std::vector<std::string>& choices, int safeChoice) override
    {
        questions.push_back(question);
        if (answers.empty()) return safeChoice;
        const std::string answer = answers.front();
        answers.erase(answers.begin());
        for (std::size_t i = 0; i < choices.size(); ++i)
            if (choices[i] == answer) return static_cast<int>(i);
        return safeChoice;
    }
    std::vector<std::string> Texts() const;

    std::vector<RecordedMessage> messages;
    std::vector<std::string> questions;
    std::vector<std::string> answers;
};

// A settings store in memory.
class MemorySettingsStore : public platform::SettingsStore {
public:
    int GetProfileInt(const char* section, const char* entry, int defaultValue) override
    {
        const auto it = values.find({section, entry});
        return it == values.end() ? defaultValue : it->second;
    }
    int WriteProfileInt(const char* section, const char* entry, int value) override
    {
        values[{section, entry}] = value;
        ++writes;
        return 1;
    }

    std::string GetProfileString(const char* section, const char* entry, const std::string& defaultValue) override
    {
        const auto it = texts.find({section, entry});
        return it == texts.end() ? defaultValue : it->second;
    }
    int WriteProfileString(const char* section, const char* entry, const std::string& value) override
    {
        texts[{section, entry}] = value;
        ++writes;
        return 1;
    }

    std::map<std::pair<std::string, std::string>, int> values;
    std::map<std::pair<std::string, std::string>, std::string> texts;
    int writes = 0;
};

}  // namespace kel_test
