#pragma once
// A Host for tests: file-dialog answers are queued in advance, every message
// box, pointer, focus and progress call is recorded, and a hook runs inside
// DoEvents so that a test can act while the program lets events run. It is
// also the codec dialog, with a scripted answer. A settings store that
// records every write in order is here too.

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/Host.h"
#include "base/SettingsStore.h"
#include "formats/avi/CodecChooser.h"

namespace crossmeld::test {

struct ShownMessage {
    std::string text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
    std::string caption;
};

class ScriptedHost final : public Host, public avi::CodecChooser {
public:
    // ---- Script -----------------------------------------------------------
    // The answers of the next file dialogs, in order; "" is a cancel. When
    // the queue is empty the dialog is cancelled.
    void QueueFile(std::string answer) { fileAnswers.push_back(std::move(answer)); }
    // Several files chosen at once: the names separated by NUL characters.
    void QueueFiles(const std::vector<std::string>& names) {
        std::string joined;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i) joined.push_back('\0');
            joined += names[i];
        }
        fileAnswers.push_back(joined);
    }
    std::function<void()> onDoEvents;  // runs inside every DoEvents
    MsgResult messageAnswer = MsgResult::OK;
    bool confirmCodec = true;
    avi::Codec codec = avi::Codec::FullFrames;

    // ---- Record -----------------------------------------------------------
    std::deque<std::string> fileAnswers;
    std::vector<FileDialogState> dialogsShown;  // the state as the dialog opened
    std::vector<ShownMessage> messages;
    std::vector<MousePointer> pointers;
    std::vector<FocusTarget> focus;
    std::vector<double> progressMax;
    std::vector<double> progressValues;
    int doEventsCount = 0;
    int codecDialogs = 0;

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const ShownMessage& m : messages) texts.push_back(m.text);
        return texts;
    }

    // ---- Host -------------------------------------------------------------
    MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                         const std::string& caption) override {
        messages.push_back(ShownMessage{text, icon, buttons, caption});
        return messageAnswer;
    }
    void ShowOpen(FileDialogState& state) override {
        dialogsShown.push_back(state);
        if (fileAnswers.empty()) {
            state.FileName.clear();
            return;
        }
        state.FileName = fileAnswers.front();
        fileAnswers.pop_front();
    }
    void DoEvents() override {
        ++doEventsCount;
        if (onDoEvents) onDoEvents();
    }
    void SetMousePointer(MousePointer pointer) override { pointers.push_back(pointer); }
    void SetFocus(FocusTarget target) override { focus.push_back(target); }
    void SetProgressMax(double maximum) override { progressMax.push_back(maximum); }
    void SetProgressValue(double value) override { progressValues.push_back(value); }

    // ---- Codec dialog -----------------------------------------------------
    bool ChooseCodec(avi::CodecChoice& choice) override {
        ++codecDialogs;
        if (!confirmCodec) return false;
        choice.codec = codec;
        return true;
    }
};

// A settings store that keeps the values and the order of the writes.
class RecordingSettingsStore final : public SettingsStore {
public:
    struct Write {
        std::string key;
        std::string value;
        friend bool operator==(const Write&, const Write&) = default;
    };

    std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override {
        auto it = values.find({app, section, key});
        return it == values.end() ? defaultValue : it->second;
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        values[{app, section, key}] = value;
        writes.push_back(Write{key, value});
        lastApp = app;
        lastSection = section;
    }
    // A value as the program stores it (application and section fixed).
    void Put(const std::string& key, const std::string& value) { values[{"Kestrovan", "Crossmeld", key}] = value; }
    std::string Get(const std::string& key) const {
        auto it = values.find({"Kestrovan", "Crossmeld", key});
        return it == values.end() ? "<missing>" : it->second;
    }

    std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
    std::vector<Write> writes;
    std::string lastApp;
    std::string lastSection;
};

}  // namespace crossmeld::test
