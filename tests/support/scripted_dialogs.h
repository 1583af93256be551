#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "windows/main/dialogs.h"

namespace strobo::testing {

// Dialogs answered from scripts instead of a person, recording what the program said and asked.
class ScriptedDialogs : public windows::Dialogs {
  public:
    std::optional<std::string> showOpenDialog(const windows::FileDialogRequest& request) override {
        dialogRequests.push_back(request);
        return take(openAnswers);
    }
    std::optional<std::string> showSaveDialog(const windows::FileDialogRequest& request) override {
        dialogRequests.push_back(request);
        return take(saveAnswers);
    }
    std::optional<std::string> inputBox(const std::string& prompt) override {
        prompts.push_back(prompt);
        return take(inputAnswers);
    }
    void messageBox(const std::string& text) override {
        messages.push_back(text);
        if (onMessage) onMessage(text);
    }
    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        if (yesNoAnswers.empty()) return false;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    std::optional<std::size_t> chooseOne(const std::string& text,
                                         const std::vector<std::string>& choices) override {
        questions.push_back(text);
        choiceLists.push_back(choices);
        if (choiceAnswers.empty()) return std::nullopt;
        const std::optional<std::size_t> answer = choiceAnswers.front();
        choiceAnswers.pop_front();
        return answer;
    }
    void setWaitCursor(bool on) override { waitCursorDepth += on ? 1 : -1; }

    // Scripted answers, taken front first; an empty queue answers as a cancel (or No).
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::size_t>> choiceAnswers;

    // What the program said and asked, in order.
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    // The buttons of each choice asked, in order.
    std::vector<std::vector<std::string>> choiceLists;
    std::vector<windows::FileDialogRequest> dialogRequests;
    std::vector<std::string> prompts;
    int waitCursorDepth = 0;
    // Called for every message, e.g. to look at the windows while it is up.
    std::function<void(const std::string&)> onMessage;

  private:
    static std::optional<std::string> take(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace strobo::testing
