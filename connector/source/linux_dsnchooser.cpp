#include "connector/source/linux_dsnchooser.h"

#include <dlfcn.h>
#include <odbcinst.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "connector/source/FrameworkCalls.h"

namespace corvane {
namespace {

// The GTK+ 2 and GObject types the dialogs pass around. Widgets and the
// other objects stay opaque: every one is reached through a function.
using gboolean = int;
using gint = int;
using guint = unsigned int;
using gulong = unsigned long;
using gpointer = void*;
using GType = size_t;
using Widget = void;
using Callback = void (*)();
using DestroyNotify = void (*)(gpointer);
using TypeFunction = GType (*)();

constexpr gboolean kFalse = 0;
constexpr gboolean kTrue = 1;
constexpr gint kWindowToplevel = 0;
constexpr gint kWindowPositionCenter = 1;
constexpr gint kJustifyLeft = 0;
constexpr gint kButtonBoxEnd = 4;
constexpr guint kExpandAndFill = 5;       // GTK_EXPAND | GTK_FILL
constexpr guint kAltModifier = 8;         // GDK_MOD1_MASK
constexpr guint kAcceleratorVisible = 1;  // GTK_ACCEL_VISIBLE
constexpr guint kMatchFunctionAndData = 24;
constexpr guint kKeyO = 79, kKeyC = 67;

const char* const kSourceFile = "source/linux_dsnchooser";

// One entry per function the dialogs call, filled by LoadGtk; an entry stays
// empty when its function was not found.
struct GtkFunctions {
    void (*gtk_clist_clear)(Widget*);
    gint (*gtk_clist_prepend)(Widget*, char**);
    gint (*gtk_clist_append)(Widget*, char**);
    gint (*gtk_clist_columns_autosize)(Widget*);
    void (*gtk_clist_sort)(Widget*);
    gint (*gtk_clist_get_text)(Widget*, gint, gint, char**);
    void (*gtk_main_quit)();
    void (*gtk_widget_destroy)(Widget*);
    void (*gtk_init)(int*, char***);
    Widget* (*gtk_window_new)(gint);
    void* (*gtk_accel_group_new)();
    Widget* (*gtk_dialog_new)();
    void (*gtk_object_set_data)(Widget*, const char*, gpointer);
    void (*gtk_widget_set_usize)(Widget*, gint, gint);
    void (*gtk_window_set_title)(Widget*, const char*);
    void (*gtk_window_set_position)(Widget*, gint);
    void (*gtk_window_set_modal)(Widget*, gboolean);
    void (*gtk_window_set_policy)(Widget*, gint, gint, gint);
    void (*gtk_widget_show)(Widget*);
    Widget* (*gtk_fixed_new)();
    Widget* (*gtk_widget_ref)(Widget*);
    void (*gtk_object_set_data_full)(Widget*, const char*, gpointer, DestroyNotify);
    void (*gtk_box_pack_start)(Widget*, Widget*, gboolean, gboolean, guint);
    void (*gtk_container_set_border_width)(Widget*, guint);
    Widget* (*gtk_scrolled_window_new)(void*, void*);
    void (*gtk_fixed_put)(Widget*, Widget*, gint, gint);
    Widget* (*gtk_clist_new)(gint);
    void (*gtk_container_add)(Widget*, Widget*);
    void (*gtk_clist_set_column_width)(Widget*, gint, gint);
    void (*gtk_clist_column_titles_show)(Widget*);
    Widget* (*gtk_label_new)(const char*);
    void (*gtk_clist_set_column_widget)(Widget*, gint, Widget*);
    void (*gtk_button_box_set_layout)(Widget*, gint);
    Widget* (*gtk_button_new_with_label)(const char*);
    guint (*gtk_label_parse_uline)(Widget*, const char*);
    void (*gtk_widget_add_accelerator)(Widget*, const char*, void*, guint, guint, guint);
    void (*gtk_window_add_accel_group)(Widget*, void*);
    void (*gtk_widget_show_all)(Widget*);
    void (*gtk_main)();
    const char* (*gtk_entry_get_text)(Widget*);
    void (*gtk_table_set_row_spacings)(Widget*, guint);
    void (*gtk_table_set_col_spacing)(Widget*, guint, guint);
    void (*gtk_table_attach)(Widget*, Widget*, guint, guint, guint, guint, guint, guint, guint, guint);
    void (*gtk_label_set_text)(Widget*, const char*);
    void (*gtk_entry_set_visibility)(Widget*, gboolean);
    void (*gtk_widget_unref)(Widget*);
    void (*gtk_widget_set_uposition)(Widget*, gint, gint);
    void (*gtk_label_set_justify)(Widget*, gint);
    Widget* (*gtk_hbutton_box_new)();
    Widget* (*gtk_table_new)(guint, guint, gboolean);
    void (*gtk_table_set_col_spacings)(Widget*, guint);
    Widget* (*gtk_entry_new)();
    void (*gtk_entry_set_text)(Widget*, const char*);
    void (*gtk_button_box_set_child_ipadding)(Widget*, gint, gint);
    TypeFunction gtk_bin_get_type;
    TypeFunction gtk_box_get_type;
    void (*gtk_box_set_spacing)(Widget*, gint);
    TypeFunction gtk_button_box_get_type;
    TypeFunction gtk_clist_get_type;
    TypeFunction gtk_container_get_type;
    TypeFunction gtk_dialog_get_type;
    TypeFunction gtk_entry_get_type;
    TypeFunction gtk_fixed_get_type;
    TypeFunction gtk_label_get_type;
    TypeFunction gtk_object_get_type;
    guint (*gtk_signal_compat_matched)(Widget*, Callback, gpointer, guint, guint);
    gulong (*gtk_signal_connect_full)(Widget*, const char*, Callback, void*, gpointer, DestroyNotify, gint, gint);
    TypeFunction gtk_table_get_type;
    TypeFunction gtk_widget_get_type;
    TypeFunction gtk_window_get_type;
    // Reached by function where GTK+ 2's macros read the structures: the
    // dialog's boxes and a button's label.
    Widget* (*gtk_dialog_get_content_area)(Widget*);
    Widget* (*gtk_dialog_get_action_area)(Widget*);
    Widget* (*gtk_bin_get_child)(Widget*);
    // gtk_init ends the process when it cannot open the display; this one
    // answers false instead.
    gboolean (*gtk_init_check)(int*, char***);
    // From GObject.
    void* (*g_type_check_instance_cast)(void*, GType);
    gboolean (*g_type_check_instance_is_a)(void*, GType);
};

GtkFunctions g_gtk{};

// Resolves one function; one that is not found is reported and stays empty.
template <class F>
void resolve(void* library, const char* name, F& entry, int line, const char* statement) {
    entry = reinterpret_cast<F>(dlsym(library, name));
    if (!entry) fw::ReportAssertion(kSourceFile, line, statement);
}

#define RESOLVE(library, name) \
    resolve(library, #name, g_gtk.name, __LINE__, "g_gtk." #name " = dlsym(" #library ", \"" #name "\")")

// True when every entry of the table is filled.
static_assert(sizeof(GtkFunctions) % sizeof(void*) == 0, "the table holds function pointers only");
bool allResolved() {
    const auto* entries = reinterpret_cast<const void* const*>(&g_gtk);
    for (size_t i = 0; i < sizeof g_gtk / sizeof(void*); ++i)
        if (!entries[i]) return false;
    return true;
}

}  // namespace

void LoadGtk() {
    if (g_gtk.gtk_init) return;
    // The libraries stay loaded for the life of the process.
    void* gtk = dlopen("libgtk-x11-2.0.so.0", RTLD_LAZY);
    if (gtk) {
        RESOLVE(gtk, gtk_clist_clear);
        RESOLVE(gtk, gtk_clist_prepend);
        RESOLVE(gtk, gtk_clist_append);
        RESOLVE(gtk, gtk_clist_columns_autosize);
        RESOLVE(gtk, gtk_clist_sort);
        RESOLVE(gtk, gtk_clist_get_text);
        RESOLVE(gtk, gtk_main_quit);
        RESOLVE(gtk, gtk_widget_destroy);
        RESOLVE(gtk, gtk_init);
        RESOLVE(gtk, gtk_window_new);
        RESOLVE(gtk, gtk_accel_group_new);
        RESOLVE(gtk, gtk_dialog_new);
        RESOLVE(gtk, gtk_object_set_data);
        RESOLVE(gtk, gtk_widget_set_usize);
        RESOLVE(gtk, gtk_window_set_title);
        RESOLVE(gtk, gtk_window_set_position);
        RESOLVE(gtk, gtk_window_set_modal);
        RESOLVE(gtk, gtk_window_set_policy);
        RESOLVE(gtk, gtk_widget_show);
        RESOLVE(gtk, gtk_fixed_new);
        RESOLVE(gtk, gtk_widget_ref);
        RESOLVE(gtk, gtk_object_set_data_full);
        RESOLVE(gtk, gtk_box_pack_start);
        RESOLVE(gtk, gtk_container_set_border_width);
        RESOLVE(gtk, gtk_scrolled_window_new);
        RESOLVE(gtk, gtk_fixed_put);
        RESOLVE(gtk, gtk_clist_new);
        RESOLVE(gtk, gtk_container_add);
        RESOLVE(gtk, gtk_clist_set_column_width);
        RESOLVE(gtk, gtk_clist_column_titles_show);
        RESOLVE(gtk, gtk_label_new);
        RESOLVE(gtk, gtk_clist_set_column_widget);
        RESOLVE(gtk, gtk_button_box_set_layout);
        RESOLVE(gtk, gtk_button_new_with_label);
        RESOLVE(gtk, gtk_label_parse_uline);
        RESOLVE(gtk, gtk_widget_add_accelerator);
        RESOLVE(gtk, gtk_window_add_accel_group);
        RESOLVE(gtk, gtk_widget_show_all);
        RESOLVE(gtk, gtk_main);
        RESOLVE(gtk, gtk_entry_get_text);
        RESOLVE(gtk, gtk_table_set_row_spacings);
        RESOLVE(gtk, gtk_table_set_col_spacing);
        RESOLVE(gtk, gtk_table_attach);
        RESOLVE(gtk, gtk_label_set_text);
        RESOLVE(gtk, gtk_entry_set_visibility);
        RESOLVE(gtk, gtk_widget_unref);
        RESOLVE(gtk, gtk_widget_set_uposition);
        RESOLVE(gtk, gtk_label_set_justify);
        RESOLVE(gtk, gtk_hbutton_box_new);
        RESOLVE(gtk, gtk_table_new);
        RESOLVE(gtk, gtk_table_set_col_spacings);
        RESOLVE(gtk, gtk_entry_new);
        RESOLVE(gtk, gtk_entry_set_text);
        RESOLVE(gtk, gtk_button_box_set_child_ipadding);
        RESOLVE(gtk, gtk_bin_get_type);
        RESOLVE(gtk, gtk_box_get_type);
        RESOLVE(gtk, gtk_box_set_spacing);
        RESOLVE(gtk, gtk_button_box_get_type);
        RESOLVE(gtk, gtk_clist_get_type);
        RESOLVE(gtk, gtk_container_get_type);
        RESOLVE(gtk, gtk_dialog_get_type);
        RESOLVE(gtk, gtk_entry_get_type);
        RESOLVE(gtk, gtk_fixed_get_type);
        RESOLVE(gtk, gtk_label_get_type);
        RESOLVE(gtk, gtk_object_get_type);
        RESOLVE(gtk, gtk_signal_compat_matched);
        RESOLVE(gtk, gtk_signal_connect_full);
        RESOLVE(gtk, gtk_table_get_type);
        RESOLVE(gtk, gtk_widget_get_type);
        RESOLVE(gtk, gtk_window_get_type);
        RESOLVE(gtk, gtk_dialog_get_content_area);
        RESOLVE(gtk, gtk_dialog_get_action_area);
        RESOLVE(gtk, gtk_bin_get_child);
        RESOLVE(gtk, gtk_init_check);
    }
    void* gobject = dlopen("libgobject-2.0.so.0", RTLD_LAZY);
    if (!gobject) return;
    RESOLVE(gobject, g_type_check_instance_cast);
    RESOLVE(gobject, g_type_check_instance_is_a);
}

#undef RESOLVE

namespace {

// A widget as the class a call expects, checked as GTK+ 2's cast macros do.
Widget* as(Widget* widget, TypeFunction type) { return g_gtk.g_type_check_instance_cast(widget, type()); }
Widget* object(Widget* w) { return as(w, g_gtk.gtk_object_get_type); }
Widget* window(Widget* w) { return as(w, g_gtk.gtk_window_get_type); }
Widget* dialogOf(Widget* w) { return as(w, g_gtk.gtk_dialog_get_type); }
Widget* box(Widget* w) { return as(w, g_gtk.gtk_box_get_type); }
Widget* container(Widget* w) { return as(w, g_gtk.gtk_container_get_type); }
Widget* fixed(Widget* w) { return as(w, g_gtk.gtk_fixed_get_type); }
Widget* clist(Widget* w) { return as(w, g_gtk.gtk_clist_get_type); }
Widget* label(Widget* w) { return as(w, g_gtk.gtk_label_get_type); }
Widget* buttonBox(Widget* w) { return as(w, g_gtk.gtk_button_box_get_type); }
Widget* table(Widget* w) { return as(w, g_gtk.gtk_table_get_type); }
Widget* entry(Widget* w) { return as(w, g_gtk.gtk_entry_get_type); }
Widget* bin(Widget* w) { return as(w, g_gtk.gtk_bin_get_type); }

template <class F>
Callback callback(F* function) {
    return reinterpret_cast<Callback>(function);
}

// Registers a widget on its dialog under a name; the dialog holds a
// reference until it is destroyed. Returns the widget.
Widget* named(Widget* dialog, const char* name, Widget* widget) {
    g_gtk.gtk_widget_ref(widget);
    g_gtk.gtk_object_set_data_full(object(dialog), name, widget, reinterpret_cast<DestroyNotify>(g_gtk.gtk_widget_unref));
    g_gtk.gtk_widget_show(widget);
    return widget;
}

void connect(Widget* widget, const char* signal, Callback handler, gpointer data) {
    g_gtk.gtk_signal_connect_full(object(widget), signal, handler, nullptr, data, nullptr, kFalse, kFalse);
}

// Ends a dialog from one of its handlers: its "destroy" no longer quits the
// loop (that is done here, once), the loop ends, the dialog goes.
void closeDialog(Widget* dialog) {
    g_gtk.gtk_signal_compat_matched(object(dialog), callback(g_gtk.gtk_main_quit), nullptr, kMatchFunctionAndData, 0);
    g_gtk.gtk_main_quit();
    g_gtk.gtk_widget_destroy(dialog);
}

char* copyText(const char* text) { return text ? strdup(text) : nullptr; }

// The common start of both dialogs: GTK+ with a display, then a new modal
// dialog registered on itself under `name`, with its title and an
// accelerator group. None when GTK+ or a display is not available.
Widget* startDialog(const char* name, const char* title, void** accelerators) {
    LoadGtk();
    // A dialog is shown only with every function it calls.
    if (!g_gtk.gtk_init || !allResolved()) return nullptr;
    if (!g_gtk.gtk_init_check(nullptr, nullptr)) return nullptr;
    Widget* probe = g_gtk.gtk_window_new(kWindowToplevel);
    if (!probe || !g_gtk.g_type_check_instance_is_a(probe, g_gtk.gtk_widget_get_type())) return nullptr;
    g_gtk.gtk_widget_destroy(probe);  // only a test that windows can be made

    *accelerators = g_gtk.gtk_accel_group_new();
    Widget* dialog = g_gtk.gtk_dialog_new();
    g_gtk.gtk_object_set_data(object(dialog), name, dialog);
    g_gtk.gtk_window_set_title(window(dialog), title);
    g_gtk.gtk_window_set_position(window(dialog), kWindowPositionCenter);
    g_gtk.gtk_window_set_modal(window(dialog), kTrue);
    g_gtk.gtk_window_set_policy(window(dialog), kFalse, kFalse, kFalse);
    return dialog;
}

// A button of the action row: made with an empty label whose text then gets
// its mnemonic, with Alt and `key` as its accelerator.
Widget* actionButton(Widget* dialog, Widget* row, void* accelerators, const char* name, const char* text, guint key) {
    Widget* button = named(dialog, name, g_gtk.gtk_button_new_with_label(""));
    g_gtk.gtk_label_parse_uline(label(g_gtk.gtk_bin_get_child(bin(button))), text);
    g_gtk.gtk_container_add(container(row), button);
    g_gtk.gtk_widget_add_accelerator(button, "clicked", accelerators, key, kAltModifier, kAcceleratorVisible);
    return button;
}

// The row of "_Ok" and "_Cancel" at the foot of a dialog.
void actionRow(Widget* dialog, void* accelerators, bool childPadding, Widget** ok, Widget** cancel) {
    Widget* area = named(dialog, "dialog_action_area1", g_gtk.gtk_dialog_get_action_area(dialogOf(dialog)));
    g_gtk.gtk_container_set_border_width(container(area), 5);
    Widget* row = named(dialog, "hbuttonbox1", g_gtk.gtk_hbutton_box_new());
    g_gtk.gtk_box_pack_start(box(area), row, kTrue, kTrue, 0);
    g_gtk.gtk_button_box_set_layout(buttonBox(row), kButtonBoxEnd);
    g_gtk.gtk_box_set_spacing(box(row), 10);
    if (childPadding) g_gtk.gtk_button_box_set_child_ipadding(buttonBox(row), 0, 0);
    *ok = actionButton(dialog, row, accelerators, "b_ok", "_Ok", kKeyO);
    *cancel = actionButton(dialog, row, accelerators, "b_cancel", "_Cancel", kKeyC);
    g_gtk.gtk_window_add_accel_group(window(dialog), accelerators);
}

// The handlers of a dialog's buttons and of its close request.
struct DialogHandlers {
    Callback ok, cancel, closeRequest;
};

// Adds the "_Ok" and "_Cancel" row, connects the handlers (with `state`) and
// the dialog's "destroy" (which ends the loop should anything else destroy
// it), shows the dialog and runs the nested main loop until a handler
// closes it.
void runDialog(Widget* dialog, void* accelerators, bool childPadding, const DialogHandlers& handlers, void* state) {
    Widget *ok = nullptr, *cancel = nullptr;
    actionRow(dialog, accelerators, childPadding, &ok, &cancel);
    connect(dialog, "destroy", callback(g_gtk.gtk_main_quit), nullptr);
    connect(ok, "clicked", handlers.ok, state);
    connect(cancel, "clicked", handlers.cancel, state);
    connect(dialog, "delete_event", handlers.closeRequest, state);
    g_gtk.gtk_widget_show_all(dialog);
    g_gtk.gtk_main();
}

// ---- the data-source chooser ------------------------------------------------

struct ChooserState {
    Widget* dialog = nullptr;
    Widget* list = nullptr;
    char* chosen = nullptr;            // malloc'ed, or none
    std::vector<gint> selectedRows;    // in the order they were selected
};

void ChooserOkClicked(Widget*, gpointer data) {
    auto* state = static_cast<ChooserState*>(data);
    if (!state) return;
    std::free(state->chosen);
    state->chosen = nullptr;
    if (!state->selectedRows.empty()) {
        char* text = nullptr;
        if (g_gtk.gtk_clist_get_text(clist(state->list), state->selectedRows.front(), 0, &text)) state->chosen = copyText(text);
    }
    closeDialog(state->dialog);
}

void ChooserCancelClicked(Widget*, gpointer data) {
    auto* state = static_cast<ChooserState*>(data);
    if (!state) return;
    std::free(state->chosen);
    state->chosen = nullptr;
    closeDialog(state->dialog);
}

gboolean ChooserDeleteEvent(Widget* widget, void*, gpointer data) {
    ChooserCancelClicked(widget, data);
    return kFalse;
}

// GtkCList keeps its selection in a structure; the chooser follows it by
// the list's signals instead.
void ChooserRowSelected(Widget*, gint row, gint, void*, gpointer data) {
    auto* state = static_cast<ChooserState*>(data);
    if (state) state->selectedRows.push_back(row);
}

void ChooserRowUnselected(Widget*, gint row, gint, void*, gpointer data) {
    auto* state = static_cast<ChooserState*>(data);
    if (!state) return;
    auto& rows = state->selectedRows;
    for (auto it = rows.begin(); it != rows.end();)
        it = *it == row ? rows.erase(it) : it + 1;
}

// One text of the ODBC configuration, user and system files both read.
void profileText(const char* section, const char* key, char* buffer, int size) {
    SQLSetConfigMode(ODBC_BOTH_DSN);
    buffer[0] = 0;
    SQLGetPrivateProfileString(section, key, "", buffer, size, "odbc.ini");
    buffer[size - 1] = 0;
}

// Fills the list with the configuration's data sources: name and
// description, sorted by name.
void fillDataSources(Widget* list) {
    std::vector<char> names;
    try {
        names.assign(65536, 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (!g_gtk.g_type_check_instance_is_a(list, g_gtk.gtk_clist_get_type())) return;
    g_gtk.gtk_clist_clear(clist(list));

    const char* section = "ODBC Data Sources";
    profileText(section, nullptr, names.data(), int(names.size()));
    if (!names[0]) {
        section = "ODBC 32 bit Data Sources";
        profileText(section, nullptr, names.data(), int(names.size()));
    }
    int rows = 0;
    // The key names, each ended by a NUL, the last by an empty one.
    const char* const end = names.data() + names.size();
    for (char* name = names.data(); name < end && name[0]; name += std::strlen(name) + 1) {
        char description[1024];
        char listed[1024];
        profileText(name, "Description", description, int(sizeof description));
        profileText(section, name, listed, int(sizeof listed));
        if (!listed[0]) continue;  // named, but not listed as a data source
        char* row[2] = {name, description};
        g_gtk.gtk_clist_append(clist(list), row);
        ++rows;
    }
    if (rows > 0) {
        g_gtk.gtk_clist_columns_autosize(clist(list));
        g_gtk.gtk_clist_sort(clist(list));
    }
    SQLSetConfigMode(ODBC_BOTH_DSN);
}

// ---- the login dialog ------------------------------------------------------------

struct LoginState {
    Widget* user = nullptr;
    Widget* password = nullptr;
    Widget* dialog = nullptr;
    char* enteredUser = nullptr;      // malloc'ed, or none
    char* enteredPassword = nullptr;
};

void clearLogin(LoginState* state) {
    std::free(state->enteredUser);
    std::free(state->enteredPassword);
    state->enteredUser = state->enteredPassword = nullptr;
}

void LoginOkClicked(Widget*, gpointer data) {
    auto* state = static_cast<LoginState*>(data);
    if (!state) return;
    clearLogin(state);
    state->enteredUser = copyText(g_gtk.gtk_entry_get_text(entry(state->user)));
    state->enteredPassword = copyText(g_gtk.gtk_entry_get_text(entry(state->password)));
    closeDialog(state->dialog);
}

void LoginCancelClicked(Widget*, gpointer data) {
    auto* state = static_cast<LoginState*>(data);
    if (!state) return;
    clearLogin(state);
    closeDialog(state->dialog);
}

gboolean LoginDeleteEvent(Widget* widget, void*, gpointer data) {
    LoginCancelClicked(widget, data);
    return kFalse;
}

// Copies UTF-8 text into a buffer of kLoginTextSize bytes, cut after the
// last whole character that fits.
void copyLoginText(const char* text, char* out) {
    size_t n = std::strlen(text);
    if (n > size_t(kLoginTextSize - 1)) {
        n = kLoginTextSize - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(out, text, n);
    out[n] = 0;
}

}  // namespace

char* ChooseDataSource() {
    void* accelerators = nullptr;
    Widget* dialog = startDialog("dsnchooser", "Select Data Source", &accelerators);
    if (!dialog) return nullptr;
    ChooserState state;
    state.dialog = dialog;
    g_gtk.gtk_widget_set_usize(dialog, 475, 320);

    Widget* content = named(dialog, "dialog_vbox1", g_gtk.gtk_dialog_get_content_area(dialogOf(dialog)));
    Widget* area = named(dialog, "fixed1", g_gtk.gtk_fixed_new());
    g_gtk.gtk_box_pack_start(box(content), area, kTrue, kTrue, 0);
    g_gtk.gtk_container_set_border_width(container(area), 6);

    Widget* scrolled = named(dialog, "scrolledwindow1", g_gtk.gtk_scrolled_window_new(nullptr, nullptr));
    g_gtk.gtk_fixed_put(fixed(area), scrolled, 3, 19);
    g_gtk.gtk_widget_set_usize(scrolled, 456, 232);
    Widget* list = named(dialog, "clist1", g_gtk.gtk_clist_new(2));
    state.list = list;
    g_gtk.gtk_container_add(container(scrolled), list);
    g_gtk.gtk_clist_set_column_width(clist(list), 0, 180);
    g_gtk.gtk_clist_set_column_width(clist(list), 1, 162);
    g_gtk.gtk_clist_column_titles_show(clist(list));
    g_gtk.gtk_clist_set_column_widget(clist(list), 0, named(dialog, "l_name", g_gtk.gtk_label_new("Name")));
    g_gtk.gtk_clist_set_column_widget(clist(list), 1,
                                      named(dialog, "l_description", g_gtk.gtk_label_new("Description")));
    Widget* heading = named(dialog, "l_usdsn", g_gtk.gtk_label_new("Data Sources:"));
    g_gtk.gtk_fixed_put(fixed(area), heading, 8, 8);
    g_gtk.gtk_widget_set_usize(heading, 112, 16);
    g_gtk.gtk_label_set_justify(label(heading), kJustifyLeft);

    connect(list, "select_row", callback(ChooserRowSelected), &state);
    connect(list, "unselect_row", callback(ChooserRowUnselected), &state);
    fillDataSources(list);
    runDialog(dialog, accelerators, false,
              {callback(ChooserOkClicked), callback(ChooserCancelClicked), callback(ChooserDeleteEvent)}, &state);
    return state.chosen;
}

void AskLogin(const char* user, const char* password, const char* dsn, char* userOut, char* passwordOut) {
    char title[1024];
    std::snprintf(title, sizeof title, "Login for DSN %s ...", dsn ? dsn : "Unknown");
    void* accelerators = nullptr;
    Widget* dialog = startDialog("login", title, &accelerators);
    if (!dialog) return;
    LoginState state;
    state.dialog = dialog;

    Widget* content = named(dialog, "dialog_vbox1", g_gtk.gtk_dialog_get_content_area(dialogOf(dialog)));
    Widget* grid = named(dialog, "table1", g_gtk.gtk_table_new(2, 2, kTrue));
    g_gtk.gtk_box_pack_start(box(content), grid, kTrue, kTrue, 0);
    g_gtk.gtk_container_set_border_width(container(grid), 6);
    g_gtk.gtk_table_set_row_spacings(table(grid), 6);
    g_gtk.gtk_table_set_col_spacings(table(grid), 6);

    const auto row = [&](guint top, const char* labelName, const char* caption, const char* entryName) {
        Widget* text = named(dialog, labelName, g_gtk.gtk_label_new(caption));
        g_gtk.gtk_table_attach(table(grid), text, 0, 1, top, top + 1, 0, 0, 0, 0);
        g_gtk.gtk_label_set_justify(label(text), kJustifyLeft);
        Widget* field = named(dialog, entryName, g_gtk.gtk_entry_new());
        g_gtk.gtk_table_attach(table(grid), field, 1, 2, top, top + 1, kExpandAndFill, 0, 0, 0);
        return field;
    };
    state.user = row(0, "l_user", "Username : ", "t_user");
    state.password = row(1, "l_password", "Password : ", "t_password");
    g_gtk.gtk_entry_set_visibility(entry(state.password), kFalse);
    if (user && *user) g_gtk.gtk_entry_set_text(entry(state.user), user);
    if (password && *password) g_gtk.gtk_entry_set_text(entry(state.password), password);

    runDialog(dialog, accelerators, true,
              {callback(LoginOkClicked), callback(LoginCancelClicked), callback(LoginDeleteEvent)}, &state);
    if (state.enteredUser && userOut) copyLoginText(state.enteredUser, userOut);
    if (state.enteredPassword && passwordOut) copyLoginText(state.enteredPassword, passwordOut);
    clearLogin(&state);
}

}  // namespace corvane
