#pragma once
// The application object and the event loop.
//
// A program derives its application class from Application, makes the one
// object at start and registers it (RuntimeRegisterAppObject). RuntimeRun
// runs the object's Event_Open once and then the event loop, until Quit or,
// with AutoQuit true, until the last open window has closed.

#include "framework/FolderItem.h"
#include "framework/Ref.h"
#include "framework/Text.h"

class Application {
public:
    virtual ~Application() = default;

    // Version data, set by the program when it makes the object.
    int MajorVersion = 0;
    int MinorVersion = 0;
    int BugVersion = 0;
    int NonReleaseVersion = 0;
    int StageCode = 0;
    String ShortVersion;
    String LongVersion;
    String PackageInfo;

    // When true the event loop ends once no window is open any more (checked
    // after the event that closed the last one, so a handler may close one
    // window and open another without the program ending, and only once no
    // event handler runs any more).
    bool AutoQuit = false;

    // Run by RuntimeRun before the event loop starts.
    virtual void Event_Open() {}

    // The program's own executable file (from /proc/self/exe); nil when it
    // cannot be found.
    Ref<FolderItem> ExecutableFile() const;

    // Same as the free Quit().
    void Quit();
};

// Registers the application object (replacing any earlier one).
void RuntimeRegisterAppObject(const Ref<Application>& app);
// The registered application object; nil before registration.
Ref<Application> RuntimeAppObject();

// Runs the registered object's Event_Open (once per process), then the event
// loop. Returns the exit code: 0 after Quit or the automatic quit, 1 after an
// unhandled failure.
int RuntimeRun();

// Closes every open window (each runs its Event_Close), newest first, then
// ends the event loop. Outside the event loop only the windows close. Asked
// for by a handler that runs inside another one's yield (Quit chosen during
// a conversion), it waits until the outer handler has returned.
void Quit();
