#pragma once
// The one place through which the program talks to the user and the desktop:
// message boxes, questions, the file-open dialog, the beep and opening a file
// with its default program. The GUI layer installs a handler that shows real
// dialogs; tests install one that answers from a script and records what the
// user would have seen.

#include <vector>

#include "framework/FolderItem.h"
#include "framework/Ref.h"
#include "framework/Text.h"

// MsgBox button codes as the program passes them: 0 a plain notice with OK;
// 36 (Yes and No with a question icon) a question. Answers: 1 OK, 6 Yes, 7 No.
enum : int { MsgBoxOK = 0, MsgBoxYesNoQuestion = 36 };
enum : int { AnswerOK = 1, AnswerYes = 6, AnswerNo = 7 };

// One labelled text field of a form that asks the user for texts.
struct TextPrompt {
    String label;
    bool masked;  // the entry hides what is typed (a password)
};

class InteractionHandler {
public:
    virtual ~InteractionHandler() = default;
    // Shows a modal box and returns the answer code.
    virtual int ShowMessage(const String& text, int buttons, const String& title) = 0;
    // Shows the modal file-open dialog; the chosen item, or nil on cancel.
    // `filter` names file types, each followed by ";" ("CSV Files;").
    virtual Ref<FolderItem> ChooseFile(const String& title, const String& filter,
                                       const Ref<FolderItem>& initialFolder) = 0;
    virtual void Beep() = 0;
    // Opens the item with the desktop's default program.
    virtual void Launch(const FolderItem& item) = 0;
    // Shows a modal form with one text field per prompt. True and one answer
    // per prompt when the user confirmed it; false when cancelled. Handlers
    // that offer no such form answer false.
    virtual bool AskTexts(const String& title, const std::vector<TextPrompt>& prompts,
                          std::vector<String>& answers) {
        (void)title;
        (void)prompts;
        (void)answers;
        return false;
    }
};

// Installs the handler (not owned); nullptr restores the default one, which
// shows nothing, answers No/OK/nil and writes each box to standard error.
void SetInteractionHandler(InteractionHandler* handler);
InteractionHandler& CurrentInteraction();

// A plain notice with an OK button.
int MsgBox(const String& text);
// A box with the given buttons and title; with 36 the answer is 6 for Yes.
int MsgBox(const String& text, int buttons, const String& title);
void Beep();
// Asks for texts through the handler's form (see InteractionHandler::AskTexts).
bool AskTexts(const String& title, const std::vector<TextPrompt>& prompts, std::vector<String>& answers);

// The framework's file-open dialog.
class OpenDialog {
public:
    String Title;
    String Filter;                    // file-type names, each followed by ";"
    Ref<FolderItem> InitialDirectory; // may be nil
    // Shows the dialog modally: the chosen file, or nil.
    Ref<FolderItem> ShowModal();
};
