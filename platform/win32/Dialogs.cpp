// Modal dialogs from templates, drawn by GTK 3 in a fixed layout so they keep
// the proportions of their templates. Each dialog and control gets a handle of
// its own; messages reach the dialog procedure synchronously, as on the original.
#include "DialogInternal.h"

#include "WindowInternal.h"
#include "dialoghooks.h"
#include "dlgtemplate.h"
#include "platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace {

using platform::DialogControlClass;

enum class Kind { PushButton, CheckBox, GroupBox, Label, Picture, ListBox, ComboBox, Edit };

struct Dialog;

struct Item {
    HWND handle = nullptr;
    Dialog* dialog = nullptr;
    INT id = 0;
    Kind kind = Kind::Label;
    DWORD style = 0;
    GtkWidget* outer = nullptr;  // what the fixed layout holds
    GtkWidget* inner = nullptr;  // the widget that carries the control's state
    GtkListStore* store = nullptr;
    std::string text;  // code page 1252
    HANDLE image = nullptr;
    RECT rect = {0, 0, 0, 0};  // pixels in the client area
};

struct Dialog {
    HWND handle = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;
    DLGPROC proc = nullptr;
    std::vector<std::unique_ptr<Item>> items;
    bool ended = false;
    INT_PTR result = 0;
    INT charWidth = 6, charHeight = 13;
    std::string caption;
    int quiet = 0;  // > 0 while the program itself changes a control: no notifications
};

struct State {
    bool gtkTried = false;
    bool gtkOk = false;
    std::map<HWND, Dialog*> dialogs;
    std::map<HWND, Item*> items;
    std::vector<Dialog*> stack;  // open dialogs, innermost last
    std::deque<platform::DialogStep> steps;
    bool scripted = false;
    double idleTimeout = 10.0;
    std::deque<std::string> chooserAnswers;
};

State& S() {
    static State state;
    return state;
}

Dialog* DialogOf(HWND h) {
    auto it = S().dialogs.find(h);
    return it == S().dialogs.end() ? nullptr : it->second;
}

Item* ItemOf(HWND h) {
    auto it = S().items.find(h);
    return it == S().items.end() ? nullptr : it->second;
}

Item* ItemById(Dialog* d, INT id) {
    if (!d) return nullptr;
    for (auto& item : d->items)
        if (item->id == id) return item.get();
    return nullptr;
}

// Windows marks mnemonics with '&' ("&&" is a literal one); GTK with '_'.
std::string Mnemonic(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c == '&') {
            if (i + 1 < utf8.size() && utf8[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (c == '_') {
            out += "__";
        } else {
            out += c;
        }
    }
    return out;
}

LRESULT Deliver(Dialog* d, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!d || !d->proc) return 0;
    return d->proc(d->handle, message, wParam, lParam);
}

void Command(Dialog* d, INT id, WORD code, HWND control) {
    Deliver(d, WM_COMMAND, static_cast<WPARAM>(MAKELONG(id, code)), reinterpret_cast<LPARAM>(control));
}

// The close box: WM_CLOSE, and the cancel command when the procedure leaves it.
void CloseBox(Dialog* d) {
    if (!Deliver(d, WM_CLOSE, 0, 0) && !d->ended) Command(d, IDCANCEL, BN_CLICKED, nullptr);
}

void OnClicked(GtkButton*, gpointer data) {
    Item* item = static_cast<Item*>(data);
    if (item->dialog->quiet) return;
    Command(item->dialog, item->id, BN_CLICKED, item->handle);
}

void OnListChanged(GtkTreeSelection*, gpointer data) {
    Item* item = static_cast<Item*>(data);
    if (item->dialog->quiet || !(item->style & LBS_NOTIFY)) return;
    Command(item->dialog, item->id, LBN_SELCHANGE, item->handle);
}

void OnComboChanged(GtkComboBox*, gpointer data) {
    Item* item = static_cast<Item*>(data);
    if (item->dialog->quiet) return;
    Command(item->dialog, item->id, CBN_SELCHANGE, item->handle);
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    CloseBox(static_cast<Dialog*>(data));
    return TRUE;  // the dialog ends only through EndDialog
}

Item* DefaultButton(Dialog* d) {
    for (auto& item : d->items)
        if (item->kind == Kind::PushButton && (item->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return item.get();
    return nullptr;
}

gboolean OnKey(GtkWidget* window, GdkEventKey* event, gpointer data) {
    Dialog* d = static_cast<Dialog*>(data);
    if (event->keyval == GDK_KEY_Escape) {
        Command(d, IDCANCEL, BN_CLICKED, nullptr);
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
        // A multi-line edit takes Enter as a new line, a focused button as its click.
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
        if (focus && (GTK_IS_TEXT_VIEW(focus) || GTK_IS_BUTTON(focus))) return FALSE;
        Item* def = DefaultButton(d);
        if (def && gtk_widget_get_sensitive(def->outer)) {
            Command(d, def->id, BN_CLICKED, def->handle);
            return TRUE;
        }
    }
    return FALSE;
}

// Average character width and height of the dialog font, the classic way.
void MeasureFont(Dialog* d) {
    PangoLayout* layout = gtk_widget_create_pango_layout(d->window, nullptr);
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    if (w > 0) d->charWidth = std::max(1, (w / 26 + 1) / 2);
    if (h > 0) d->charHeight = h;
}

void ApplyFont(GtkWidget* window, const char* face, WORD points) {
    // The templates name the classic dialog font; here it is the desktop's sans.
    (void)face;
    // Controls keep the sizes their templates give them: GTK's roomy padding would not fit.
    char css[400];
    snprintf(css, sizeof css,
             "* { font-family: Sans; font-size: %upt; }"
             "button { padding: 1px 6px; min-height: 0; min-width: 0; }"
             "combobox button { padding: 0 4px; }"
             "checkbutton { padding: 0; min-height: 0; }",
             points ? points : 8u);
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

void SetItemText(Item* item, const char* text) {
    item->text = text ? text : "";
    std::string utf8 = dlgimpl::ToUtf8(item->text.c_str());
    switch (item->kind) {
        case Kind::PushButton:
        case Kind::CheckBox:
            gtk_button_set_label(GTK_BUTTON(item->inner), Mnemonic(utf8).c_str());
            gtk_button_set_use_underline(GTK_BUTTON(item->inner), TRUE);
            break;
        case Kind::GroupBox:
            gtk_frame_set_label(GTK_FRAME(item->inner), utf8.c_str());
            break;
        case Kind::Label:
            gtk_label_set_text_with_mnemonic(GTK_LABEL(item->inner), Mnemonic(utf8).c_str());
            break;
        case Kind::Edit:
            if (GTK_IS_TEXT_VIEW(item->inner)) {
                std::string lf;
                for (char c : utf8)
                    if (c != '\r') lf += c;
                gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(item->inner)), lf.c_str(), -1);
            } else {
                gtk_entry_set_text(GTK_ENTRY(item->inner), utf8.c_str());
            }
            break;
        default:
            break;
    }
}

std::string ItemText(Item* item) {
    if (item->kind != Kind::Edit) return item->text;
    if (GTK_IS_TEXT_VIEW(item->inner)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(item->inner));
        GtkTextIter a, b;
        gtk_text_buffer_get_bounds(buffer, &a, &b);
        gchar* t = gtk_text_buffer_get_text(buffer, &a, &b, FALSE);
        std::string out = dlgimpl::FromUtf8(t);
        g_free(t);
        // Lines end in CR LF in a Windows edit control.
        std::string crlf;
        for (char c : out) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        return crlf;
    }
    return dlgimpl::FromUtf8(gtk_entry_get_text(GTK_ENTRY(item->inner)));
}

void Place(Dialog* d, Item* item, const platform::DialogControl& c) {
    LONG x = c.x * d->charWidth / 4, y = c.y * d->charHeight / 8;
    LONG w = c.cx * d->charWidth / 4, h = c.cy * d->charHeight / 8;
    item->rect = {x, y, x + w, y + h};
    gtk_fixed_put(GTK_FIXED(d->fixed), item->outer, x, y);
    // A drop-down list's template height is its open height; closed it keeps its natural one.
    gtk_widget_set_size_request(item->outer, std::max<LONG>(1, w), item->kind == Kind::ComboBox ? -1 : std::max<LONG>(1, h));
}

void MakeControl(Dialog* d, const platform::DialogControl& c) {
    std::unique_ptr<Item> item(new Item);
    Item* it = item.get();
    it->handle = new HWND__;
    it->dialog = d;
    it->id = c.id;
    it->style = c.style;
    switch (c.cls) {
        case DialogControlClass::Button: {
            DWORD type = c.style & BS_TYPEMASK;
            if (type == BS_GROUPBOX) {
                it->kind = Kind::GroupBox;
                it->inner = it->outer = gtk_frame_new(nullptr);
            } else if (type == BS_AUTOCHECKBOX) {
                it->kind = Kind::CheckBox;
                it->inner = it->outer = gtk_check_button_new();
                g_signal_connect(it->inner, "clicked", G_CALLBACK(OnClicked), it);
            } else {
                it->kind = Kind::PushButton;
                it->inner = it->outer = gtk_button_new();
                g_signal_connect(it->inner, "clicked", G_CALLBACK(OnClicked), it);
            }
            break;
        }
        case DialogControlClass::Static:
            if ((c.style & SS_TYPEMASK) == SS_BITMAP) {
                it->kind = Kind::Picture;
                it->inner = gtk_image_new();
                it->outer = gtk_frame_new(nullptr);
                gtk_frame_set_shadow_type(GTK_FRAME(it->outer), (c.style & SS_SUNKEN) ? GTK_SHADOW_IN : GTK_SHADOW_NONE);
                gtk_container_add(GTK_CONTAINER(it->outer), it->inner);
            } else {
                it->kind = Kind::Label;
                it->inner = it->outer = gtk_label_new(nullptr);
                gtk_label_set_xalign(GTK_LABEL(it->inner), 0.0f);
                gtk_label_set_yalign(GTK_LABEL(it->inner), 0.0f);
                gtk_label_set_line_wrap(GTK_LABEL(it->inner), TRUE);
            }
            break;
        case DialogControlClass::ListBox: {
            it->kind = Kind::ListBox;
            it->store = gtk_list_store_new(1, G_TYPE_STRING);
            it->inner = gtk_tree_view_new_with_model(GTK_TREE_MODEL(it->store));
            g_object_unref(it->store);
            gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(it->inner), FALSE);
            gtk_tree_view_set_enable_search(GTK_TREE_VIEW(it->inner), FALSE);
            GtkCellRenderer* cell = gtk_cell_renderer_text_new();
            gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(it->inner), -1, "", cell, "text", 0, nullptr);
            it->outer = gtk_scrolled_window_new(nullptr, nullptr);
            gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(it->outer), GTK_POLICY_AUTOMATIC,
                                           (c.style & WS_VSCROLL) ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER);
            if (c.style & WS_BORDER) gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(it->outer), GTK_SHADOW_IN);
            gtk_container_add(GTK_CONTAINER(it->outer), it->inner);
            g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(it->inner)), "changed",
                             G_CALLBACK(OnListChanged), it);
            break;
        }
        case DialogControlClass::ComboBox:
            it->kind = Kind::ComboBox;
            it->inner = it->outer = gtk_combo_box_text_new();
            g_signal_connect(it->inner, "changed", G_CALLBACK(OnComboChanged), it);
            break;
        case DialogControlClass::Edit:
            it->kind = Kind::Edit;
            if (c.style & ES_MULTILINE) {
                it->inner = gtk_text_view_new();
                gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(it->inner), GTK_WRAP_WORD_CHAR);
                gtk_text_view_set_editable(GTK_TEXT_VIEW(it->inner), !(c.style & ES_READONLY));
                it->outer = gtk_scrolled_window_new(nullptr, nullptr);
                gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(it->outer), GTK_SHADOW_IN);
                gtk_container_add(GTK_CONTAINER(it->outer), it->inner);
            } else {
                it->inner = it->outer = gtk_entry_new();
                gtk_editable_set_editable(GTK_EDITABLE(it->inner), !(c.style & ES_READONLY));
            }
            break;
    }
    if (c.style & WS_DISABLED) gtk_widget_set_sensitive(it->outer, FALSE);
    gtk_widget_set_can_focus(it->inner, (c.style & WS_TABSTOP) != 0 || it->kind == Kind::Edit ||
                                            it->kind == Kind::ListBox);
    SetItemText(it, c.text);
    Place(d, it, c);
    if (c.style & WS_VISIBLE) gtk_widget_show_all(it->outer);
    S().items[it->handle] = it;
    d->items.push_back(std::move(item));
}

void Forget(Dialog* d) {
    State& s = S();
    for (auto& item : d->items) {
        s.items.erase(item->handle);
        delete item->handle;
    }
    s.dialogs.erase(d->handle);
    s.stack.erase(std::remove(s.stack.begin(), s.stack.end(), d), s.stack.end());
    delete d->handle;
}

void FlushGtk() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// ---- Scripted steps ----

bool UsableBy(Item* item) {
    return item && gtk_widget_get_visible(item->outer) && gtk_widget_is_sensitive(item->outer);
}

void RunStep(Dialog* d, const platform::DialogStep& step) {
    using K = platform::DialogStep::Kind;
    Item* item = ItemById(d, step.control);
    switch (step.kind) {
        case K::Press:
            if (!UsableBy(item) || !GTK_IS_BUTTON(item->inner)) {
                fprintf(stderr, "[dialog script] control %d cannot be pressed\n", step.control);
                break;
            }
            gtk_button_clicked(GTK_BUTTON(item->inner));
            break;
        case K::SelectList:
            if (UsableBy(item) && item->kind == Kind::ListBox) {
                GtkTreePath* path = gtk_tree_path_new_from_indices(step.index, -1);
                gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(item->inner)), path);
                gtk_tree_path_free(path);
            }
            break;
        case K::SelectCombo:
            if (UsableBy(item) && item->kind == Kind::ComboBox)
                gtk_combo_box_set_active(GTK_COMBO_BOX(item->inner), step.index);
            break;
        case K::Close: CloseBox(d); break;
        case K::Escape: Command(d, IDCANCEL, BN_CLICKED, nullptr); break;
        case K::Call:
            if (step.call) step.call(d->handle);
            break;
    }
}

struct LoopWatch {
    Dialog* dialog;
    GtkWidget* window;
    std::chrono::steady_clock::time_point idleSince;
};

gboolean StepTimer(gpointer data) {
    LoopWatch* w = static_cast<LoopWatch*>(data);
    State& s = S();
    // Only the innermost modal loop drives; an outer one waits inside a step.
    GtkWindow* top = dlgimpl::TopGtkWindow();
    if (w->window != GTK_WIDGET(top) && !(w->dialog && !s.stack.empty() && s.stack.back() == w->dialog))
        return G_SOURCE_CONTINUE;
    if (w->dialog && w->dialog->ended) return G_SOURCE_CONTINUE;
    // A quit signal closes each dialog as its close box would, innermost first.
    if (w->dialog && platform::QuitSignalled()) {
        CloseBox(w->dialog);
        return G_SOURCE_CONTINUE;
    }
    if (!s.steps.empty() && w->dialog) {
        platform::DialogStep step = s.steps.front();
        s.steps.pop_front();
        w->idleSince = std::chrono::steady_clock::now();
        RunStep(w->dialog, step);
        w->idleSince = std::chrono::steady_clock::now();
        return G_SOURCE_CONTINUE;
    }
    if (s.scripted && w->dialog) {
        double idle = std::chrono::duration<double>(std::chrono::steady_clock::now() - w->idleSince).count();
        if (idle > s.idleTimeout) {
            fprintf(stderr, "[dialog script] no more steps; closing \"%s\"\n", w->dialog->caption.c_str());
            w->idleSince = std::chrono::steady_clock::now();
            CloseBox(w->dialog);
        }
    }
    return G_SOURCE_CONTINUE;
}

const guint kStepIntervalMs = 20;

struct AutoAnswer {
    GtkWidget* box;
    gint id;
    bool fired;
    // Set by the box's first response: a later one in the same loop pass would
    // overwrite the answer gtk_dialog_run returns.
    bool answered;
};

void NoteAnswer(GtkDialog*, gint, gpointer data) { static_cast<AutoAnswer*>(data)->answered = true; }

gboolean AnswerBoxLater(gpointer data) {
    AutoAnswer* a = static_cast<AutoAnswer*>(data);
    a->fired = true;
    if (!a->answered) gtk_dialog_response(GTK_DIALOG(a->box), a->id);
    return G_SOURCE_REMOVE;
}

}  // namespace

namespace dlgimpl {

bool EnsureGtk() {
    State& s = S();
    if (!s.gtkTried) {
        s.gtkTried = true;
        if (!platform::HasDisplay()) return false;
        // Numbers in files and logs keep the C locale; no accessibility bus to wait for.
        gtk_disable_setlocale();
        setenv("NO_AT_BRIDGE", "1", 0);
        // Without a session bus the settings store cannot be reached; keep settings in memory.
        if (!getenv("DBUS_SESSION_BUS_ADDRESS")) setenv("GSETTINGS_BACKEND", "memory", 0);
        s.gtkOk = gtk_init_check(nullptr, nullptr);
        if (!s.gtkOk) fprintf(stderr, "[dialogs] GTK cannot open a display\n");
    }
    return s.gtkOk;
}

GtkWindow* TopGtkWindow() {
    if (!S().gtkOk) return nullptr;
    GtkWindow* best = nullptr;
    // A file chooser or message box above the dialogs is the top.
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next) {
        GtkWindow* w = GTK_WINDOW(l->data);
        if (gtk_widget_get_visible(GTK_WIDGET(w)) && gtk_window_get_modal(w) && GTK_IS_DIALOG(w)) best = w;
    }
    g_list_free(list);
    if (best) return best;
    State& s = S();
    return s.stack.empty() ? nullptr : GTK_WINDOW(s.stack.back()->window);
}

void RunModalLoop(GtkWidget* window, const bool* done) {
    LoopWatch watch{nullptr, window, std::chrono::steady_clock::now()};
    for (Dialog* d : S().stack)
        if (d->window == window) watch.dialog = d;
    guint timer = g_timeout_add(kStepIntervalMs, StepTimer, &watch);
    while (!*done) gtk_main_iteration();
    g_source_remove(timer);
}

bool TakeFileChooserAnswer(std::string& hostPath) {
    State& s = S();
    if (s.chooserAnswers.empty()) return false;
    hostPath = s.chooserAnswers.front();
    s.chooserAnswers.pop_front();
    return true;
}

std::string ToUtf8(const char* cp1252) { return winimpl::Cp1252ToUtf8(cp1252 ? cp1252 : ""); }
std::string FromUtf8(const char* utf8) {
    std::string out;
    winimpl::Utf8ToCp1252(utf8 ? utf8 : "", out);
    return out;
}

}  // namespace dlgimpl

namespace winimpl {

bool IsDialogHandle(HWND window) { return DialogOf(window) || ItemOf(window); }

BOOL ShowDialogWindow(HWND window, INT command) {
    GtkWidget* w = nullptr;
    if (Dialog* d = DialogOf(window)) w = d->window;
    if (Item* item = ItemOf(window)) w = item->outer;
    if (!w) return FALSE;
    BOOL was = gtk_widget_get_visible(w) ? TRUE : FALSE;
    if (command == SW_HIDE)
        gtk_widget_hide(w);
    else
        gtk_widget_show_all(w);
    return was;
}

HWND FocusDialogWindow(HWND window) {
    HWND previous = nullptr;
    Dialog* d = DialogOf(window);
    Item* item = ItemOf(window);
    if (item) d = item->dialog;
    if (!d) return nullptr;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(d->window));
    for (auto& it : d->items)
        if (focus && (it->inner == focus || it->outer == focus)) previous = it->handle;
    if (item)
        gtk_widget_grab_focus(item->inner);
    else
        gtk_window_present(GTK_WINDOW(d->window));
    return previous;
}

bool DialogMessageBox(const char* text, const char* caption, UINT type, INT* answer) {
    if (!dlgimpl::EnsureGtk()) return false;
    GtkWindow* parent = dlgimpl::TopGtkWindow();
    GtkMessageType icon = GTK_MESSAGE_INFO;
    switch (type & 0xF0) {
        case MB_ICONHAND: icon = GTK_MESSAGE_ERROR; break;
        case MB_ICONEXCLAMATION: icon = GTK_MESSAGE_WARNING; break;
        case MB_ICONQUESTION: icon = GTK_MESSAGE_QUESTION; break;
        case MB_ICONASTERISK: icon = GTK_MESSAGE_INFO; break;
        default: icon = GTK_MESSAGE_OTHER; break;
    }
    GtkWidget* box = gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), icon,
                                            GTK_BUTTONS_NONE, "%s", dlgimpl::ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), dlgimpl::ToUtf8(caption).c_str());
    if (!parent) {
        // No dialog to sit on: the box stands alone, above the game's window, even a full-screen one.
        gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
        gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
        gtk_window_set_urgency_hint(GTK_WINDOW(box), TRUE);
    }
    const std::vector<MessageBoxButton> buttons = MessageBoxButtons(type);
    for (const MessageBoxButton& b : buttons)
        gtk_dialog_add_button(GTK_DIALOG(box), (std::string("_") + b.label).c_str(), b.id);
    gtk_dialog_set_default_response(GTK_DIALOG(box), buttons.front().id);
    // A scripted run has nobody to read the box: it takes its first button.
    AutoAnswer answerLater{box, buttons.front().id, false, false};
    g_signal_connect(box, "response", G_CALLBACK(NoteAnswer), &answerLater);
    guint autoAnswer = S().scripted ? g_timeout_add(300, AnswerBoxLater, &answerLater) : 0;
    // A quit signal answers the box as its close box would, so quitting never waits on it.
    guint quitWatch = g_timeout_add(
        100,
        [](gpointer data) -> gboolean {
            AutoAnswer* a = static_cast<AutoAnswer*>(data);
            if (!a->answered && platform::QuitSignalled())
                gtk_dialog_response(GTK_DIALOG(a->box), GTK_RESPONSE_DELETE_EVENT);
            return G_SOURCE_CONTINUE;
        },
        &answerLater);
    gint response = gtk_dialog_run(GTK_DIALOG(box));
    g_source_remove(quitWatch);
    if (autoAnswer && !answerLater.fired) g_source_remove(autoAnswer);
    gtk_widget_destroy(box);
    FlushGtk();
    if (response < 0) response = (type & 0xF) == MB_OK ? IDOK : IDCANCEL;
    *answer = response;
    return true;
}

}  // namespace winimpl

// ---- Templates ----

namespace platform {

namespace {
std::map<WORD, DialogTemplate>& Templates() {
    static std::map<WORD, DialogTemplate> templates;
    return templates;
}
}  // namespace

void RegisterDialogTemplate(const DialogTemplate& tmpl) { Templates()[tmpl.id] = tmpl; }

const DialogTemplate* FindDialogTemplate(WORD id) {
    auto it = Templates().find(id);
    return it == Templates().end() ? nullptr : &it->second;
}

// ---- Hooks ----

void QueueDialogSteps(const std::vector<DialogStep>& steps) {
    State& s = S();
    s.steps.insert(s.steps.end(), steps.begin(), steps.end());
    s.scripted = true;
}
void ClearDialogSteps() {
    S().steps.clear();
    S().scripted = false;
    S().chooserAnswers.clear();
}
size_t PendingDialogSteps() { return S().steps.size(); }
void SetScriptIdleTimeout(double idleSeconds) { S().idleTimeout = idleSeconds; }
void QueueFileChooserAnswer(const std::string& hostPath) { S().chooserAnswers.push_back(hostPath); }

HWND TopDialog() { return S().stack.empty() ? nullptr : S().stack.back()->handle; }

bool DialogControlRect(HWND control, RECT* rect) {
    Item* item = ItemOf(control);
    if (!item || !rect) return false;
    *rect = item->rect;
    // Where GTK really put it, once laid out; the size is the one asked for.
    if (gtk_widget_get_realized(item->outer)) {
        gint x = 0, y = 0;
        if (gtk_widget_translate_coordinates(item->outer, item->dialog->fixed, 0, 0, &x, &y)) {
            *rect = {x, y, x + (item->rect.right - item->rect.left), y + (item->rect.bottom - item->rect.top)};
        }
    }
    return true;
}

bool DialogBaseUnits(HWND dialog, INT* charWidth, INT* charHeight) {
    Dialog* d = DialogOf(dialog);
    if (!d) return false;
    if (charWidth) *charWidth = d->charWidth;
    if (charHeight) *charHeight = d->charHeight;
    return true;
}

bool SaveDialogScreenshot(HWND dialog, const std::string& pngPath) {
    Dialog* d = DialogOf(dialog);
    if (!d || !gtk_widget_get_visible(d->window)) return false;
    // Let the window map and draw before it is read back.
    for (int i = 0; i < 20; ++i) {
        FlushGtk();
        g_usleep(10000);
    }
    // Drawn into a picture of our own rather than read back from the X server,
    // which gives black for a window it has not shown yet (a busy machine).
    const int width = gtk_widget_get_allocated_width(d->window), height = gtk_widget_get_allocated_height(d->window);
    if (width <= 0 || height <= 0) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(d->window, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, width, height);
    cairo_surface_destroy(surface);
    if (!pixbuf) return false;
    bool ok = gdk_pixbuf_save(pixbuf, pngPath.c_str(), "png", nullptr, nullptr);
    g_object_unref(pixbuf);
    return ok;
}

}  // namespace platform

// ---- The API ----

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC proc, LPARAM param) {
    if (!IS_INTRESOURCE(templateName)) return -1;
    const platform::DialogTemplate* t =
        platform::FindDialogTemplate(static_cast<WORD>(reinterpret_cast<uintptr_t>(templateName)));
    if (!t || !dlgimpl::EnsureGtk()) return -1;

    State& s = S();
    std::unique_ptr<Dialog> owned(new Dialog);
    Dialog* d = owned.get();
    d->handle = new HWND__;
    d->proc = proc;
    d->caption = t->caption ? t->caption : "";
    d->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(d->window);
    ApplyFont(d->window, t->fontFace, t->pointSize);
    MeasureFont(d);
    gtk_window_set_title(GTK_WINDOW(d->window), dlgimpl::ToUtf8(d->caption.c_str()).c_str());
    gtk_window_set_resizable(GTK_WINDOW(d->window), FALSE);
    gtk_window_set_modal(GTK_WINDOW(d->window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(d->window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(d->window), GTK_WIN_POS_CENTER);
    if (!s.stack.empty()) gtk_window_set_transient_for(GTK_WINDOW(d->window), GTK_WINDOW(s.stack.back()->window));
    d->fixed = gtk_fixed_new();
    gtk_widget_set_size_request(d->fixed, t->cx * d->charWidth / 4, t->cy * d->charHeight / 8);
    gtk_container_add(GTK_CONTAINER(d->window), d->fixed);
    gtk_widget_show(d->fixed);
    g_signal_connect(d->window, "delete-event", G_CALLBACK(OnDelete), d);
    g_signal_connect(d->window, "key-press-event", G_CALLBACK(OnKey), d);

    s.dialogs[d->handle] = d;
    s.stack.push_back(d);
    for (const platform::DialogControl& c : t->controls) MakeControl(d, c);

    HWND firstTab = nullptr;
    for (auto& item : d->items)
        if (!firstTab && (item->style & WS_TABSTOP)) firstTab = item->handle;
    ++d->quiet;
    LRESULT setFocus = Deliver(d, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), param);
    --d->quiet;
    if (!d->ended) {
        if (Item* def = DefaultButton(d)) {
            gtk_widget_set_can_default(def->inner, TRUE);
            gtk_window_set_default(GTK_WINDOW(d->window), def->inner);
        }
        gtk_widget_show(d->window);
        if (setFocus && firstTab) gtk_widget_grab_focus(ItemOf(firstTab)->inner);
        dlgimpl::RunModalLoop(d->window, &d->ended);
    }
    INT_PTR result = d->result;
    gtk_widget_destroy(d->window);
    g_object_unref(d->window);
    Forget(d);
    // The window is gone from the screen before the caller goes on.
    FlushGtk();
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Dialog* d = DialogOf(dialog);
    if (!d) return FALSE;
    d->ended = true;
    d->result = result;
    gtk_widget_hide(d->window);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, INT id) {
    Item* item = ItemById(DialogOf(dialog), id);
    return item ? item->handle : nullptr;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (Dialog* d = DialogOf(window)) {
        d->caption = text ? text : "";
        gtk_window_set_title(GTK_WINDOW(d->window), dlgimpl::ToUtf8(d->caption.c_str()).c_str());
        return TRUE;
    }
    Item* item = ItemOf(window);
    if (!item) return FALSE;
    ++item->dialog->quiet;
    SetItemText(item, text);
    --item->dialog->quiet;
    return TRUE;
}

INT GetWindowTextA(HWND window, LPSTR text, INT size) {
    std::string value;
    if (Dialog* d = DialogOf(window))
        value = d->caption;
    else if (Item* item = ItemOf(window))
        value = ItemText(item);
    if (!text || size <= 0) return 0;
    size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
    memcpy(text, value.data(), n);
    text[n] = '\0';
    return static_cast<INT>(n);
}

BOOL SetDlgItemTextA(HWND dialog, INT id, LPCSTR text) { return SetWindowTextA(GetDlgItem(dialog, id), text); }

UINT GetDlgItemTextA(HWND dialog, INT id, LPSTR text, INT size) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (text && size > 0) text[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(item, text, size));
}

BOOL EnableWindow(HWND window, BOOL enable) {
    GtkWidget* w = nullptr;
    if (Dialog* d = DialogOf(window)) w = d->window;
    if (Item* item = ItemOf(window)) w = item->outer;
    if (!w) return FALSE;
    BOOL wasDisabled = gtk_widget_get_sensitive(w) ? FALSE : TRUE;
    gtk_widget_set_sensitive(w, enable ? TRUE : FALSE);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    if (Dialog* d = DialogOf(window)) return gtk_widget_get_sensitive(d->window);
    if (Item* item = ItemOf(window)) return gtk_widget_get_sensitive(item->outer);
    return winimpl::IsLiveWindow(window) && !(window->style & WS_DISABLED);
}

BOOL IsWindowVisible(HWND window) {
    if (Dialog* d = DialogOf(window)) return gtk_widget_get_visible(d->window);
    if (Item* item = ItemOf(window))
        return gtk_widget_get_visible(item->outer) && gtk_widget_get_visible(item->dialog->window);
    return winimpl::IsLiveWindow(window) && (window->style & WS_VISIBLE);
}

BOOL UpdateWindow(HWND window) {
    if (!winimpl::IsDialogHandle(window)) return winimpl::IsLiveWindow(window);
    FlushGtk();
    return TRUE;
}

namespace {

LRESULT ListMessage(Item* item, UINT message, WPARAM wParam, LPARAM lParam) {
    GtkTreeModel* model = GTK_TREE_MODEL(item->store);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(item->inner));
    INT count = gtk_tree_model_iter_n_children(model, nullptr);
    INT index = static_cast<INT>(static_cast<intptr_t>(wParam));
    GtkTreeIter iter;
    auto at = [&](INT i) { return i >= 0 && i < count && gtk_tree_model_iter_nth_child(model, &iter, nullptr, i); };
    auto textAt = [&](INT i) {
        gchar* t = nullptr;
        gtk_tree_model_get(model, &iter, 0, &t, -1);
        std::string out = dlgimpl::FromUtf8(t);
        g_free(t);
        (void)i;
        return out;
    };
    switch (message) {
        case LB_ADDSTRING:
        case LB_INSERTSTRING: {
            if (message == LB_INSERTSTRING && index != -1 && (index < 0 || index > count)) return LB_ERR;
            INT pos = (message == LB_ADDSTRING || index == -1) ? count : index;
            std::string utf8 = dlgimpl::ToUtf8(reinterpret_cast<const char*>(lParam));
            gtk_list_store_insert_with_values(item->store, nullptr, pos, 0, utf8.c_str(), -1);
            return pos;
        }
        case LB_DELETESTRING:
            if (!at(index)) return LB_ERR;
            gtk_list_store_remove(item->store, &iter);
            return count - 1;
        case LB_RESETCONTENT: gtk_list_store_clear(item->store); return 0;
        case LB_GETCOUNT: return count;
        case LB_GETCURSEL: {
            GtkTreeModel* m = nullptr;
            if (!gtk_tree_selection_get_selected(selection, &m, &iter)) return LB_ERR;
            GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
            INT i = gtk_tree_path_get_indices(path)[0];
            gtk_tree_path_free(path);
            return i;
        }
        case LB_SETCURSEL:
            gtk_tree_selection_unselect_all(selection);
            if (!at(index)) return LB_ERR;
            gtk_tree_selection_select_iter(selection, &iter);
            return index;
        case LB_GETTEXT: {
            if (!at(index) || !lParam) return LB_ERR;
            std::string t = textAt(index);
            memcpy(reinterpret_cast<char*>(lParam), t.c_str(), t.size() + 1);
            return static_cast<LRESULT>(t.size());
        }
        case LB_GETTEXTLEN:
            if (!at(index)) return LB_ERR;
            return static_cast<LRESULT>(textAt(index).size());
        default: return 0;
    }
}

LRESULT ComboMessage(Item* item, UINT message, WPARAM wParam, LPARAM lParam) {
    GtkComboBox* combo = GTK_COMBO_BOX(item->inner);
    INT count = gtk_tree_model_iter_n_children(gtk_combo_box_get_model(combo), nullptr);
    INT index = static_cast<INT>(static_cast<intptr_t>(wParam));
    switch (message) {
        case CB_ADDSTRING:
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo),
                                           dlgimpl::ToUtf8(reinterpret_cast<const char*>(lParam)).c_str());
            return count;
        case CB_RESETCONTENT: gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(combo)); return 0;
        case CB_GETCOUNT: return count;
        case CB_GETCURSEL: {
            INT active = gtk_combo_box_get_active(combo);
            return active < 0 ? CB_ERR : active;
        }
        case CB_SETCURSEL:
            if (index < 0 || index >= count) {
                gtk_combo_box_set_active(combo, -1);
                return CB_ERR;
            }
            gtk_combo_box_set_active(combo, index);
            return index;
        default: return 0;
    }
}

LRESULT ItemMessage(Item* item, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT: return SetWindowTextA(item->handle, reinterpret_cast<LPCSTR>(lParam));
        case WM_GETTEXT: return GetWindowTextA(item->handle, reinterpret_cast<LPSTR>(lParam), static_cast<INT>(wParam));
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(ItemText(item).size());
        default: break;
    }
    if (item->kind == Kind::ListBox) return ListMessage(item, message, wParam, lParam);
    if (item->kind == Kind::ComboBox) return ComboMessage(item, message, wParam, lParam);
    if (item->kind == Kind::CheckBox) {
        GtkToggleButton* toggle = GTK_TOGGLE_BUTTON(item->inner);
        if (message == BM_GETCHECK) return gtk_toggle_button_get_active(toggle) ? BST_CHECKED : BST_UNCHECKED;
        if (message == BM_SETCHECK) {
            gtk_toggle_button_set_active(toggle, wParam == BST_CHECKED);
            return 0;
        }
    }
    if (item->kind == Kind::Picture && message == STM_SETIMAGE && wParam == IMAGE_BITMAP) {
        HANDLE previous = item->image;
        HANDLE bitmap = reinterpret_cast<HANDLE>(lParam);
        GdkPixbuf* pixbuf = PixbufOfBitmap(bitmap);
        item->image = pixbuf ? bitmap : nullptr;
        gtk_image_set_from_pixbuf(GTK_IMAGE(item->inner), pixbuf);
        // A centred image keeps the control's size and sits in its middle.
        if (pixbuf && !(item->style & (SS_REALSIZEIMAGE | SS_CENTERIMAGE))) {
            // The control takes the bitmap's size, its frame around it.
            GtkBorder border = {0, 0, 0, 0};
            gtk_style_context_get_border(gtk_widget_get_style_context(item->outer), GTK_STATE_FLAG_NORMAL, &border);
            int w = gdk_pixbuf_get_width(pixbuf) + border.left + border.right + 2;
            int h = gdk_pixbuf_get_height(pixbuf) + border.top + border.bottom + 2;
            gtk_widget_set_size_request(item->outer, w, h);
            item->rect.right = item->rect.left + w;
            item->rect.bottom = item->rect.top + h;
        }
        return reinterpret_cast<LRESULT>(previous);
    }
    if (item->kind == Kind::Picture && message == STM_GETIMAGE) return reinterpret_cast<LRESULT>(item->image);
    return 0;
}

}  // namespace

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Dialog* d = DialogOf(window)) {
        if (message == WM_CLOSE) {
            CloseBox(d);
            return 0;
        }
        if (message == WM_SETTEXT) return SetWindowTextA(window, reinterpret_cast<LPCSTR>(lParam));
        if (message == WM_GETTEXT)
            return GetWindowTextA(window, reinterpret_cast<LPSTR>(lParam), static_cast<INT>(wParam));
        return Deliver(d, message, wParam, lParam);
    }
    if (Item* item = ItemOf(window)) {
        ++item->dialog->quiet;
        LRESULT r = ItemMessage(item, message, wParam, lParam);
        --item->dialog->quiet;
        return r;
    }
    if (winimpl::IsLiveWindow(window) && window->proc) return window->proc(window, message, wParam, lParam);
    return 0;
}

LRESULT SendDlgItemMessageA(HWND dialog, INT id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, message, wParam, lParam) : 0;
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT, UINT, DWORD_PTR* result) {
    if (result) *result = 0;
    if (window == HWND_BROADCAST) return 1;
    LRESULT r = SendMessageA(window, message, wParam, lParam);
    if (result) *result = static_cast<DWORD_PTR>(r);
    return 1;
}
