// The open-file dialog over GtkFileChooserDialog, with the caller's Windows
// filter string turned into case-insensitive GTK filters.
#include "DialogInternal.h"

#include "commdlg.h"
#include "dialoghooks.h"
#include "platform.h"

#include <fnmatch.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

DWORD g_LastError = 0;
const gint kHookAccept = 100;

gboolean MatchesCustom(const GtkFileFilterInfo* info, gpointer data) {
    const platform::FileFilter* filter = static_cast<const platform::FileFilter*>(data);
    const char* name = info->display_name ? info->display_name : info->filename;
    if (!name) return FALSE;
    std::string base = name;
    size_t slash = base.rfind('/');
    if (slash != std::string::npos) base = base.substr(slash + 1);
    return platform::FileFilterMatches(*filter, dlgimpl::FromUtf8(base.c_str()));
}

struct ChooserRun {
    GtkWidget* chooser = nullptr;
    bool done = false;
    gint response = GTK_RESPONSE_CANCEL;
    bool answered = false;
    std::string answer;
};

void OnResponse(GtkDialog*, gint response, gpointer data) {
    ChooserRun* run = static_cast<ChooserRun*>(data);
    run->response = response;
    run->done = true;
}

gboolean AnswerFromHook(gpointer data) {
    ChooserRun* run = static_cast<ChooserRun*>(data);
    if (run->done) return G_SOURCE_REMOVE;
    if (!dlgimpl::TakeFileChooserAnswer(run->answer)) return G_SOURCE_CONTINUE;
    run->answered = true;
    // The chooser would swallow an accept with nothing selected in it; the answer has its own id.
    gtk_dialog_response(GTK_DIALOG(run->chooser), run->answer.empty() ? GTK_RESPONSE_CANCEL : kHookAccept);
    return G_SOURCE_REMOVE;
}

bool Fail(DWORD code) {
    g_LastError = code;
    return false;
}

bool FileExists(const std::string& host) { return access(host.c_str(), F_OK) == 0; }

}  // namespace

namespace platform {

std::vector<FileFilter> ParseFileFilters(const char* filter) {
    std::vector<FileFilter> out;
    if (!filter) return out;
    const char* p = filter;
    while (*p) {
        FileFilter f;
        f.label = p;
        p += f.label.size() + 1;
        std::string patterns = p;
        p += patterns.size() + (*p ? 1 : 0);
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos) end = patterns.size();
            std::string one = patterns.substr(start, end - start);
            while (!one.empty() && one.front() == ' ') one.erase(0, 1);
            while (!one.empty() && one.back() == ' ') one.pop_back();
            if (!one.empty()) f.patterns.push_back(one);
            start = end + 1;
        }
        out.push_back(f);
        if (patterns.empty()) break;  // a label without patterns ends the list
    }
    return out;
}

bool FileFilterMatches(const FileFilter& filter, const std::string& fileName) {
    for (const std::string& pattern : filter.patterns) {
        // "*.*" means every file on Windows, with or without a dot.
        if (pattern == "*.*" || pattern == "*") return true;
        if (fnmatch(pattern.c_str(), fileName.c_str(), FNM_CASEFOLD) == 0) return true;
    }
    return false;
}

}  // namespace platform

DWORD CommDlgExtendedError() { return g_LastError; }

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    g_LastError = 0;
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) return Fail(CDERR_DIALOGFAILURE);
    if (!dlgimpl::EnsureGtk()) return Fail(CDERR_DIALOGFAILURE);
    char saved[4096];
    bool haveSaved = getcwd(saved, sizeof saved) != nullptr;

    GtkWindow* parent = dlgimpl::TopGtkWindow();
    std::string title = ofn->lpstrTitle ? dlgimpl::ToUtf8(ofn->lpstrTitle) : std::string("Open");
    GtkWidget* chooser = gtk_file_chooser_dialog_new(title.c_str(), parent, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                                     GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    g_object_ref_sink(chooser);
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), FALSE);
    if (ofn->lpstrInitialDir && *ofn->lpstrInitialDir)
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser),
                                            platform::HostPath(ofn->lpstrInitialDir).c_str());

    std::vector<platform::FileFilter> filters = platform::ParseFileFilters(ofn->lpstrFilter);
    DWORD chosen = ofn->nFilterIndex ? ofn->nFilterIndex - 1 : 0;
    for (size_t i = 0; i < filters.size(); ++i) {
        GtkFileFilter* f = gtk_file_filter_new();
        gtk_file_filter_set_name(f, dlgimpl::ToUtf8(filters[i].label.c_str()).c_str());
        gtk_file_filter_add_custom(f, GTK_FILE_FILTER_DISPLAY_NAME, MatchesCustom, &filters[i], nullptr);
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), f);
        if (i == chosen) gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(chooser), f);
    }

    ChooserRun run;
    run.chooser = chooser;
    g_signal_connect(chooser, "response", G_CALLBACK(OnResponse), &run);
    guint hook = g_timeout_add(20, AnswerFromHook, &run);
    gtk_widget_show(chooser);
    dlgimpl::RunModalLoop(chooser, &run.done);
    if (!run.answered) g_source_remove(hook);

    std::string path;
    if (run.response == kHookAccept) {
        path = run.answer;
    } else if (run.response == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(chooser);
    g_object_unref(chooser);
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    // The chooser never moves the program's folder; keep it so whatever happened.
    if (haveSaved && chdir(saved) != 0) perror("chdir");

    if (path.empty()) return FALSE;  // cancelled
    std::string base = path.substr(path.rfind('/') + 1);
    if (ofn->lpstrDefExt && *ofn->lpstrDefExt && base.find('.') == std::string::npos && !FileExists(path)) {
        path += std::string(".") + ofn->lpstrDefExt;
        base += std::string(".") + ofn->lpstrDefExt;
    }
    if ((ofn->Flags & OFN_FILEMUSTEXIST) && !FileExists(path)) {
        fprintf(stderr, "[file dialog] \"%s\" does not exist\n", path.c_str());
        return Fail(CDERR_DIALOGFAILURE);
    }
    std::string file = dlgimpl::FromUtf8(path.c_str());
    std::string title8 = dlgimpl::FromUtf8(base.c_str());
    // A path cut short would name another file: refuse it instead.
    if (file.size() + 1 > ofn->nMaxFile || (ofn->lpstrFileTitle && title8.size() + 1 > ofn->nMaxFileTitle)) {
        fprintf(stderr, "[file dialog] path of %zu characters does not fit its buffer\n", file.size());
        return Fail(FNERR_BUFFERTOOSMALL);
    }
    memcpy(ofn->lpstrFile, file.c_str(), file.size() + 1);
    if (ofn->lpstrFileTitle) memcpy(ofn->lpstrFileTitle, title8.c_str(), title8.size() + 1);
    ofn->nFileOffset = static_cast<WORD>(file.size() - title8.size());
    size_t dot = title8.rfind('.');
    ofn->nFileExtension = static_cast<WORD>(dot == std::string::npos ? file.size() : ofn->nFileOffset + dot + 1);
    return TRUE;
}
