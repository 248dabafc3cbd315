#include "ui/App.h"

void AppClass::Event_Open() { App->AutoQuit = true; }

void _NewAppInstance() {
    Ref<AppClass> app = New<AppClass>();
    app->Constructor();
    app->MajorVersion = 2;
    app->MinorVersion = 3;
    app->BugVersion = 1;
    app->NonReleaseVersion = 0;
    app->StageCode = 3;
    app->ShortVersion = "2.03.01";
    app->LongVersion = "";
    app->PackageInfo = "";
    RuntimeRegisterAppObject(app);
}
