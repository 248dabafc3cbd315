#pragma once
// The application object: the program's one Application, with its version
// data. _NewAppInstance makes and registers it at start; `App->...` reaches
// it afterwards (NilObjectException before).
//
//   _NewAppInstance();
//   App->MajorVersion   // 2
//   App->ExecutableFile()

#include "framework/Ref.h"
#include "framework/gui/Application.h"

class AppClass : public Application {
public:
    // Makes the program end when its last window closes.
    void Event_Open() override;
    // Does nothing: the version data are set by _NewAppInstance.
    void Constructor() {}
};

// Makes the application object, runs its Constructor, sets the version data
// (2.3.1, stage 3, "2.03.01") and registers it with the runtime.
void _NewAppInstance();

// The registered application object as an AppClass.
struct AppAccessor {
    Ref<AppClass> Get() const { return RuntimeAppObject().As<AppClass>(); }
    Ref<AppClass> operator->() const { return Get(); }
};
inline constexpr AppAccessor App{};
