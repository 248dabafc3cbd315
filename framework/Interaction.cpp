#include "framework/Interaction.h"

#include <cstdio>

namespace {

// Used until the GUI layer (or a test) installs a handler: nobody can answer,
// so every question is answered No and every dialog cancelled, and what would
// have been shown goes to standard error.
class UnattendedInteraction : public InteractionHandler {
public:
    int ShowMessage(const String& text, int buttons, const String& title) override {
        std::fprintf(stderr, "[%s] %s\n", title.c_str(), text.c_str());
        return buttons == MsgBoxYesNoQuestion ? AnswerNo : AnswerOK;
    }
    Ref<FolderItem> ChooseFile(const String&, const String&, const Ref<FolderItem>&) override { return nullptr; }
    void Beep() override {}
    void Launch(const FolderItem&) override {}
};

UnattendedInteraction g_unattended;
InteractionHandler* g_handler = &g_unattended;

}  // namespace

void SetInteractionHandler(InteractionHandler* handler) { g_handler = handler ? handler : &g_unattended; }

InteractionHandler& CurrentInteraction() { return *g_handler; }

int MsgBox(const String& text) { return g_handler->ShowMessage(text, MsgBoxOK, ""); }

int MsgBox(const String& text, int buttons, const String& title) { return g_handler->ShowMessage(text, buttons, title); }

void Beep() { g_handler->Beep(); }

bool AskTexts(const String& title, const std::vector<TextPrompt>& prompts, std::vector<String>& answers) {
    answers.clear();
    const bool confirmed = g_handler->AskTexts(title, prompts, answers);
    if (confirmed) answers.resize(prompts.size());
    else answers.clear();
    return confirmed;
}

Ref<FolderItem> OpenDialog::ShowModal() { return g_handler->ChooseFile(Title, Filter, InitialDirectory); }
