#pragma once
// The interaction point as tests drive it: answers come from a queue that the
// test fills beforehand, and everything the user would have seen or started
// is recorded. A question or file dialog with no queued answer fails the
// test; so does a queued answer left unused at the end.

#include <deque>
#include <vector>

#include "framework/Interaction.h"

struct ShownBox {
    String text;
    String title;
    int buttons;  // 0 notice, 36 Yes/No question
    int answer;
};

struct ShownForm {
    String title;
    std::vector<TextPrompt> prompts;
    bool confirmed;
};

struct ShownDialog {
    String title;
    String filter;
    String initialFolder;  // absolute path, "" for none
};

class ScriptedInteraction : public InteractionHandler {
public:
    ScriptedInteraction();   // installs itself as the interaction handler
    ~ScriptedInteraction() override;  // restores the previous one

    // Queues the answer to the next question (6 Yes, 7 No).
    void AnswerNext(int answer) { answers_.push_back(answer); }
    void AnswerYes() { AnswerNext(::AnswerYes); }
    void AnswerNo() { AnswerNext(::AnswerNo); }
    // Queues the item that the next file dialog returns (nil: cancelled).
    void ChooseNext(Ref<FolderItem> item) { choices_.push_back(std::move(item)); }
    // Queues the texts that the next form returns; CancelFormNext cancels it.
    void FillFormNext(std::vector<String> texts) { forms_.push_back({true, std::move(texts)}); }
    void CancelFormNext() { forms_.push_back({false, {}}); }

    const std::vector<ShownBox>& boxes() const { return boxes_; }
    const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
    const std::vector<String>& launched() const { return launched_; }
    const std::vector<ShownForm>& forms() const { return shownForms_; }
    int beeps() const { return beeps_; }
    // The texts of all boxes shown so far, in order.
    std::vector<String> texts() const;
    void clear();
    // Forgets the queued answers that no question took, after a run that may
    // have stopped before its last question.
    void forgetUnusedAnswers() { answers_.clear(); }

    int ShowMessage(const String& text, int buttons, const String& title) override;
    Ref<FolderItem> ChooseFile(const String& title, const String& filter,
                               const Ref<FolderItem>& initialFolder) override;
    void Beep() override { ++beeps_; }
    void Launch(const FolderItem& item) override;
    bool AskTexts(const String& title, const std::vector<TextPrompt>& prompts,
                  std::vector<String>& answers) override;

private:
    InteractionHandler* previous_;
    std::deque<int> answers_;
    std::deque<Ref<FolderItem>> choices_;
    std::deque<std::pair<bool, std::vector<String>>> forms_;
    std::vector<ShownForm> shownForms_;
    std::vector<ShownBox> boxes_;
    std::vector<ShownDialog> dialogs_;
    std::vector<String> launched_;
    int beeps_ = 0;
};
