#include "tests/support/ScriptedInteraction.h"

#include <gtest/gtest.h>

ScriptedInteraction::ScriptedInteraction() : previous_(&CurrentInteraction()) { SetInteractionHandler(this); }

ScriptedInteraction::~ScriptedInteraction() {
    SetInteractionHandler(previous_ == this ? nullptr : previous_);
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " queued answer(s) were never asked for";
    EXPECT_TRUE(choices_.empty()) << choices_.size() << " queued file choice(s) were never asked for";
    EXPECT_TRUE(forms_.empty()) << forms_.size() << " queued form answer(s) were never asked for";
}

std::vector<String> ScriptedInteraction::texts() const {
    std::vector<String> out;
    for (const auto& box : boxes_) out.push_back(box.text);
    return out;
}

void ScriptedInteraction::clear() {
    boxes_.clear();
    dialogs_.clear();
    launched_.clear();
    shownForms_.clear();
    beeps_ = 0;
}

int ScriptedInteraction::ShowMessage(const String& text, int buttons, const String& title) {
    int answer = AnswerOK;
    if (buttons != MsgBoxOK) {
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question \"" << text << "\" (title \"" << title << "\")";
            answer = ::AnswerNo;
        } else {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    boxes_.push_back({text, title, buttons, answer});
    return answer;
}

Ref<FolderItem> ScriptedInteraction::ChooseFile(const String& title, const String& filter,
                                                const Ref<FolderItem>& initialFolder) {
    dialogs_.push_back({title, filter, initialFolder ? initialFolder->AbsolutePath() : String()});
    if (choices_.empty()) {
        ADD_FAILURE() << "unexpected file dialog \"" << title << "\"";
        return nullptr;
    }
    Ref<FolderItem> item = choices_.front();
    choices_.pop_front();
    return item;
}

void ScriptedInteraction::Launch(const FolderItem& item) { launched_.push_back(item.AbsolutePath()); }

bool ScriptedInteraction::AskTexts(const String& title, const std::vector<TextPrompt>& prompts,
                                   std::vector<String>& answers) {
    if (forms_.empty()) {
        ADD_FAILURE() << "unexpected form \"" << title << "\"";
        shownForms_.push_back({title, prompts, false});
        return false;
    }
    auto [confirmed, texts] = forms_.front();
    forms_.pop_front();
    shownForms_.push_back({title, prompts, confirmed});
    if (confirmed) answers = texts;
    return confirmed;
}
