#include "tests/dialogs/GtkDriver.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- GTK+ 2, GDK and GLib as the driver calls them ----------------------------

using gboolean = int;
using guint = unsigned int;

struct GList {
    void* data;
    GList* next;
    GList* prev;
};

// The first fields of every GDK event: its type and its window.
struct GdkEventAny {
    int type;
    void* window;
    signed char sendEvent;
};
constexpr int kGdkDelete = 0;
constexpr guint kAltModifier = 8;

struct Functions {
    GList* (*gtk_window_list_toplevels)();
    void* (*gtk_object_get_data)(void*, const char*);
    void (*gtk_object_set_data)(void*, const char*, void*);
    gboolean (*gtk_widget_get_visible)(void*);
    const char* (*gtk_window_get_title)(void*);
    int (*gtk_clist_get_text)(void*, int, int, char**);
    void (*gtk_clist_select_row)(void*, int, int);
    void (*gtk_clist_unselect_row)(void*, int, int);
    void (*gtk_button_clicked)(void*);
    gboolean (*gtk_accel_groups_activate)(void*, guint, guint);
    void (*gtk_entry_set_text)(void*, const char*);
    const char* (*gtk_entry_get_text)(void*);
    gboolean (*gtk_entry_get_visibility)(void*);
    void (*gtk_widget_destroy)(void*);
    void* (*gtk_widget_get_window)(void*);
    void (*gtk_main_do_event)(void*);
    void* (*gdk_event_new)(int);
    void (*gdk_event_free)(void*);
    void* (*g_object_ref)(void*);
    guint (*g_timeout_add)(guint, gboolean (*)(void*), void*);
    gboolean (*g_source_remove)(guint);
    void (*g_list_free)(GList*);
    void* (*g_log_set_default_handler)(void (*)(const char*, int, const char*, void*), void*);
};

Functions f{};

template <class F>
bool load(void* library, const char* name, F& out) {
    out = library ? reinterpret_cast<F>(dlsym(library, name)) : nullptr;
    if (!out) ADD_FAILURE() << "the GTK driver cannot find " << name;
    return out != nullptr;
}

std::vector<std::string> g_problems;

void countGlibProblems(const char* domain, int level, const char* message, void*) {
    constexpr int kErrorCriticalWarning = (1 << 2) | (1 << 3) | (1 << 4);
    std::fprintf(stderr, "GLib log (%s, level %d): %s\n", domain ? domain : "", level, message ? message : "");
    if (level & kErrorCriticalWarning) g_problems.push_back(std::string(domain ? domain : "") + ": " + (message ? message : ""));
}

const char* const kDialogNames[] = {"dsnchooser", "login"};
const char* const kHandledMark = "gtk-driver-handled";

// The connector's dialog that a toplevel window is, or none.
const char* dialogName(void* window) {
    for (const char* name : kDialogNames)
        if (f.gtk_object_get_data(window, name) == window) return name;
    return nullptr;
}

}  // namespace

// ---- a dialog ---------------------------------------------------------------------

std::string GtkDialog::title() const {
    const char* t = f.gtk_window_get_title(window_);
    return t ? t : "";
}

void* GtkDialog::widget(const char* name) const {
    void* w = f.gtk_object_get_data(window_, name);
    if (!w) ADD_FAILURE() << "the dialog has no widget \"" << name << "\"";
    return w;
}

std::vector<std::string> GtkDialog::rows() const {
    std::vector<std::string> out;
    void* list = widget("clist1");
    if (!list) return out;
    for (int row = 0;; ++row) {
        char* name = nullptr;
        char* description = nullptr;
        if (!f.gtk_clist_get_text(list, row, 0, &name) || !f.gtk_clist_get_text(list, row, 1, &description)) break;
        out.push_back(std::string(name ? name : "") + "|" + (description ? description : ""));
    }
    return out;
}

void GtkDialog::selectRow(int row) const {
    if (void* list = widget("clist1")) f.gtk_clist_select_row(list, row, 0);
}

void GtkDialog::unselectRow(int row) const {
    if (void* list = widget("clist1")) f.gtk_clist_unselect_row(list, row, 0);
}

void GtkDialog::click(const char* button) const {
    if (void* b = widget(button)) f.gtk_button_clicked(b);
}

void GtkDialog::pressAlt(char key) const {
    if (!f.gtk_accel_groups_activate(window_, guint(key), kAltModifier))
        ADD_FAILURE() << "Alt+" << key << " is no accelerator of the dialog";
}

void GtkDialog::close() const {
    auto* event = static_cast<GdkEventAny*>(f.gdk_event_new(kGdkDelete));
    event->window = f.g_object_ref(f.gtk_widget_get_window(window_));  // the event releases it
    f.gtk_main_do_event(event);
    f.gdk_event_free(event);
}

void GtkDialog::setText(const char* entry, const std::string& text) const {
    if (void* e = widget(entry)) f.gtk_entry_set_text(e, text.c_str());
}

std::string GtkDialog::text(const char* entry) const {
    void* e = widget(entry);
    const char* t = e ? f.gtk_entry_get_text(e) : nullptr;
    return t ? t : "";
}

bool GtkDialog::visible(const char* entry) const {
    void* e = widget(entry);
    return e && f.gtk_entry_get_visibility(e);
}

// ---- the driver ------------------------------------------------------------------------

GtkDriver::GtkDriver() {
    void* gtk = dlopen("libgtk-x11-2.0.so.0", RTLD_NOW);
    void* gdk = dlopen("libgdk-x11-2.0.so.0", RTLD_NOW);
    void* gobject = dlopen("libgobject-2.0.so.0", RTLD_NOW);
    void* glib = dlopen("libglib-2.0.so.0", RTLD_NOW);
    loaded_ = load(gtk, "gtk_window_list_toplevels", f.gtk_window_list_toplevels) &&
              load(gtk, "gtk_object_get_data", f.gtk_object_get_data) &&
              load(gtk, "gtk_object_set_data", f.gtk_object_set_data) &&
              load(gtk, "gtk_widget_get_visible", f.gtk_widget_get_visible) &&
              load(gtk, "gtk_window_get_title", f.gtk_window_get_title) &&
              load(gtk, "gtk_clist_get_text", f.gtk_clist_get_text) &&
              load(gtk, "gtk_clist_select_row", f.gtk_clist_select_row) &&
              load(gtk, "gtk_clist_unselect_row", f.gtk_clist_unselect_row) &&
              load(gtk, "gtk_button_clicked", f.gtk_button_clicked) &&
              load(gtk, "gtk_accel_groups_activate", f.gtk_accel_groups_activate) &&
              load(gtk, "gtk_entry_set_text", f.gtk_entry_set_text) &&
              load(gtk, "gtk_entry_get_text", f.gtk_entry_get_text) &&
              load(gtk, "gtk_entry_get_visibility", f.gtk_entry_get_visibility) &&
              load(gtk, "gtk_widget_destroy", f.gtk_widget_destroy) &&
              load(gtk, "gtk_widget_get_window", f.gtk_widget_get_window) &&
              load(gtk, "gtk_main_do_event", f.gtk_main_do_event) &&
              load(gdk, "gdk_event_new", f.gdk_event_new) && load(gdk, "gdk_event_free", f.gdk_event_free) &&
              load(gobject, "g_object_ref", f.g_object_ref) && load(glib, "g_timeout_add", f.g_timeout_add) &&
              load(glib, "g_source_remove", f.g_source_remove) && load(glib, "g_list_free", f.g_list_free) &&
              load(glib, "g_log_set_default_handler", f.g_log_set_default_handler);
    if (loaded_) f.g_log_set_default_handler(countGlibProblems, nullptr);
}

const std::vector<std::string>& GtkDriver::glibProblems() const { return g_problems; }

int GtkDriver::Tick(void* self) {
    auto* driver = static_cast<GtkDriver*>(self);
    GList* toplevels = f.gtk_window_list_toplevels();
    void* found = nullptr;
    const char* name = nullptr;
    for (GList* l = toplevels; l; l = l->next) {
        const char* n = dialogName(l->data);
        if (!n || !f.gtk_widget_get_visible(l->data) || f.gtk_object_get_data(l->data, kHandledMark)) continue;
        found = l->data;
        name = n;
        break;
    }
    std::vector<void*> open;
    for (GList* l = toplevels; l; l = l->next)
        if (dialogName(l->data)) open.push_back(l->data);
    f.g_list_free(toplevels);

    if (found) {
        // Marked on the window itself: a later dialog may come at the same address.
        f.gtk_object_set_data(found, kHandledMark, found);
        if (!driver->steps_.empty() && driver->steps_.front().dialog == name) {
            Step step = std::move(driver->steps_.front());
            driver->steps_.pop_front();
            step.act(GtkDialog(found));
        } else {
            driver->unexpected_.push_back(name);
            GtkDialog(found).click("b_cancel");
        }
    } else if (nowMs() > driver->deadline_) {
        // Nothing came in time: end every dialog, which ends its loop.
        driver->timedOut_ = true;
        for (void* dialog : open) f.gtk_widget_destroy(dialog);
    }
    return 1;  // keep the timeout
}

void GtkDriver::Run(std::vector<Step> steps, const std::function<void()>& body, int deadlineMs) {
    ASSERT_TRUE(loaded_);
    steps_.assign(steps.begin(), steps.end());
    unexpected_.clear();
    timedOut_ = false;
    deadline_ = nowMs() + deadlineMs;
    const guint source = f.g_timeout_add(50, &GtkDriver::Tick, this);
    body();
    f.g_source_remove(source);
    if (timedOut_) ADD_FAILURE() << "no dialog came within " << deadlineMs << " ms";
    for (const Step& step : steps_) ADD_FAILURE() << "the dialog \"" << step.dialog << "\" was never shown";
    for (const std::string& name : unexpected_) ADD_FAILURE() << "the dialog \"" << name << "\" was not expected";
}
