// The unzip library over libzip. Theme archives come from the internet, so
// every entry is checked before anything is written: no entry may land outside
// the target folder (through "..", an absolute name or a symbolic link), and
// the whole archive may not unpack to more than kMaxTotalBytes. An archive is
// unpacked whole into a hidden staging folder inside the target, each folder it
// shares with the target is completed there with the files the archive lacks,
// and only then is each top-level entry swapped in by two renames (the old one
// aside, the new one in). A failing archive leaves the target as it was; a
// killed installation leaves every theme old or new, never mixed, and the next
// start finishes it or undoes it (see FinishInterrupted).
#include "unzip.h"
#include "winver.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define ARCH_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef ARCH_FILE_VERSION
#define ARCH_FILE_VERSION "5.51"
#endif
#ifndef ARCH_COMPANY
#define ARCH_COMPANY "Info-ZIP"
#endif

#ifndef ARCH_NO_VERSION
ARCH_EXPORT const char* const KolvarVersionStrings[] = {
    "FileVersion", ARCH_FILE_VERSION, "CompanyName", ARCH_COMPANY,
    "FileDescription", "Theme archive unpacker", nullptr};
#endif

namespace {

const unsigned long long kMaxTotalBytes = 1ull << 30;
// The staging folders inside the target start with this; no entry may.
const char kStagingPrefix[] = ".unzip-staging-";

// Inside a staging folder: the unpacked entries (completed to whole folders),
// the entries they replace once set aside, and the marker that the swap has
// begun: from then on an interrupted installation is finished, not undone.
const char kStagedEntries[] = "new";
const char kReplacedFiles[] = "old";
const char kSwapping[] = "swapping";

void SayWith(DLLPRNT print, const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    if (print)
        print(text, static_cast<unsigned long>(strlen(text)));
    else
        fputs(text, stdout);
}

void SayWith(DLLPRNT print, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SayWith(DLLPRNT print, const char* format, ...) {
    va_list args;
    va_start(args, format);
    SayWith(print, format, args);
    va_end(args);
}

int OpenFolderAt(int dirFd, const char* name) {
    return openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool ExistsAt(int dirFd, const char* name) {
    struct stat st;
    return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The names in a folder but "." and "..", sorted. The folder is opened anew:
// a duplicate would share the reading position with dirFd.
bool NamesIn(int dirFd, std::vector<std::string>& names) {
    int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) close(fd);
        return false;
    }
    while (dirent* e = readdir(dir))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

// Renames without replacing: the target may have gained the name since it was looked at.
int RenameNew(int fromDir, const char* from, int toDir, const char* to) {
    int r = renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE);
    if (r != 0 && errno == EINVAL) {
        struct stat st;
        if (fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            errno = EEXIST;
            return -1;
        }
        r = renameat(fromDir, from, toDir, to);
    }
    return r;
}

// Puts one staged top-level entry in place, setting aside what it replaces.
// Between the two renames the name is missing from the target; the next start
// then finds both halves in the staging folder.
bool SwapIn(int targetFd, int newFd, int oldFd, const char* name) {
    if (ExistsAt(targetFd, name) && RenameNew(targetFd, name, oldFd, name) != 0) return false;
    return RenameNew(newFd, name, targetFd, name) == 0;
}

// Undoes SwapIn for one entry, however far it got.
bool PutBack(int targetFd, int newFd, int oldFd, const char* name) {
    if (!ExistsAt(newFd, name) && ExistsAt(targetFd, name) && RenameNew(targetFd, name, newFd, name) != 0)
        return false;
    return !ExistsAt(oldFd, name) || RenameNew(oldFd, name, targetFd, name) == 0;
}

// Every set-aside entry whose place in the target is empty goes back; false
// while one of them has to stay aside.
bool RestoreSetAside(int targetFd, int oldFd, const std::string& staging, DLLPRNT print) {
    std::vector<std::string> names;
    if (!NamesIn(oldFd, names)) return false;
    bool whole = true;
    for (const std::string& name : names) {
        if (ExistsAt(targetFd, name.c_str()) || RenameNew(oldFd, name.c_str(), targetFd, name.c_str()) == 0) continue;
        SayWith(print, "cannot put back %s from %s: %s\n", name.c_str(), staging.c_str(), strerror(errno));
        whole = false;
    }
    return whole;
}

// Deals with the staging folders in a target that installations which died
// left behind; one that another installation holds locked is still in use.
// Before its swap began an installation is undone, after it is finished, so
// every theme ends whole. A staging folder is removed unless it still holds
// the only copy of something. Returns how many were removed.
int FinishInterrupted(int targetFd, const std::string& target, DLLPRNT print) {
    std::vector<std::string> names;
    if (!NamesIn(targetFd, names)) return 0;
    int removed = 0;
    for (const std::string& name : names) {
        if (strncmp(name.c_str(), kStagingPrefix, sizeof kStagingPrefix - 1) != 0) continue;
        int fd = OpenFolderAt(targetFd, name.c_str());
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            continue;
        }
        const std::string staging = target + "/" + name;
        const bool swapping = ExistsAt(fd, kSwapping);
        int newFd = OpenFolderAt(fd, kStagedEntries);
        int oldFd = OpenFolderAt(fd, kReplacedFiles);
        std::vector<std::string> staged;
        if (swapping && newFd >= 0 && NamesIn(newFd, staged))
            for (const std::string& entry : staged)
                if (!SwapIn(targetFd, newFd, oldFd, entry.c_str()))
                    SayWith(print, "cannot finish installing %s: %s\n", entry.c_str(), strerror(errno));
        const bool whole = oldFd < 0 || RestoreSetAside(targetFd, oldFd, staging, print);
        for (int open : {newFd, oldFd})
            if (open >= 0) close(open);
        if (whole) {
            // Without the marker a half-removed folder is never taken for one to finish.
            unlinkat(fd, kSwapping, 0);
            std::error_code ignored;
            std::filesystem::remove_all(staging, ignored);
            SayWith(print, swapping ? "finished an interrupted installation in %s\n"
                                    : "removed an interrupted installation from %s\n",
                    target.c_str());
            ++removed;
        } else {
            SayWith(print, "kept %s: it holds what could not be put back\n", staging.c_str());
        }
        close(fd);
    }
    return removed;
}

class Unpacker {
public:
    Unpacker(const DCL& options, const USERFUNCTIONS* callbacks) : m_options(options), m_callbacks(callbacks) {}
    ~Unpacker() {
        for (int fd : {m_newFd, m_oldFd, m_stagingFd, m_targetFd})
            if (fd >= 0) close(fd);
        if (!m_staging.empty() && !m_keepStaging) {
            std::error_code ignored;
            std::filesystem::remove_all(m_staging, ignored);
        }
        if (m_zip) zip_discard(m_zip);
    }

    int Run(int includeCount, char** includes, int excludeCount, char** excludes);

private:
    void Say(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Refuse(const std::string& name, const char* why) {
        Say("refused entry \"%s\": %s\n", Shown(name).c_str(), why);
        Worsen(PK_WARN);
    }
    void Worsen(int code) { m_result = std::max(m_result, code); }
    static std::string Shown(std::string name) {
        for (char& c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
        return name;
    }

    bool Wanted(const char* name, int includeCount, char** includes, int excludeCount, char** excludes) const;
    bool CheckSizes(zip_int64_t count);
    bool OpenStaging(const std::string& target);
    void ExtractEntry(zip_uint64_t index);
    int OpenFolders(const std::string& name, const std::vector<std::string>& folders);
    bool WriteEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& name, int dirFd,
                    const std::string& leaf);
    bool CheckAgainstTarget(int stagedDir, int targetDir, const std::string& prefix);
    bool CompleteFolders();
    bool CopyMissing(int from, int to, const std::string& prefix);
    bool MergeFolder(int fromParent, int toParent, const char* leaf, mode_t mode, const std::string& path);
    bool CannotCopy(const std::string& path);
    bool SwapIntoTarget();

    DCL m_options;
    const USERFUNCTIONS* m_callbacks;
    zip_t* m_zip = nullptr;
    int m_targetFd = -1;
    // The staging folder (held locked while in use), its entries and the replaced files.
    std::string m_staging;
    int m_stagingFd = -1;
    int m_newFd = -1;
    int m_oldFd = -1;
    bool m_keepStaging = false;  // it holds what could not be put back
    int m_result = PK_OK;
    unsigned long long m_written = 0;
};

void Unpacker::Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    SayWith(m_callbacks ? m_callbacks->print : nullptr, format, args);
    va_end(args);
}

// A Windows path as the caller gives it -> a host path.
std::string HostFolder(const char* folder) {
    std::string p = folder && *folder ? folder : ".";
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.size() >= 2 && p[1] == ':') p.erase(0, 2);
    return p.empty() ? "/" : p;
}

// Splits an entry name into its components; false when any of them would leave
// the target (an absolute name, a drive, ".."), could not be shown or typed
// (control characters, blanks at either end), or is one of the installer's own names.
bool SafeComponents(const std::string& name, std::vector<std::string>& parts, const char** why) {
    if (name.empty()) {
        *why = "empty name";
        return false;
    }
    if (name[0] == '/' || name[0] == '\\') {
        *why = "absolute path";
        return false;
    }
    if (name.size() >= 2 && name[1] == ':') {
        *why = "drive letter";
        return false;
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            *why = "control character in the name";
            return false;
        }
    }
    size_t i = 0;
    while (i <= name.size()) {
        size_t j = name.find_first_of("/\\", i);
        if (j == std::string::npos) j = name.size();
        std::string part = name.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            *why = "leads out of the target folder";
            return false;
        }
        if (part.front() == ' ' || part.back() == ' ') {
            *why = "blank at the start or end of a name";
            return false;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        *why = "empty name";
        return false;
    }
    if (strncasecmp(parts[0].c_str(), kStagingPrefix, sizeof kStagingPrefix - 1) == 0) {
        *why = "the installer's own name";
        return false;
    }
    return true;
}

bool IsSymbolicLink(zip_t* zip, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(zip, index, 0, &system, &attributes) != 0) return false;
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

bool Unpacker::Wanted(const char* name, int includeCount, char** includes, int excludeCount,
                      char** excludes) const {
    int flags = m_options.C_flag ? FNM_CASEFOLD : 0;
    bool included = includeCount <= 0 || !includes;
    for (int i = 0; !included && i < includeCount; ++i)
        included = includes[i] && fnmatch(includes[i], name, flags) == 0;
    for (int i = 0; included && excludes && i < excludeCount; ++i)
        if (excludes[i] && fnmatch(excludes[i], name, flags) == 0) included = false;
    return included;
}

// Refuses the whole archive before writing when its entries claim more than the bound.
bool Unpacker::CheckSizes(zip_int64_t count) {
    unsigned long long total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0) continue;
        if (!(st.valid & ZIP_STAT_SIZE)) continue;
        total += st.size;
        if (st.size > kMaxTotalBytes || total > kMaxTotalBytes) {
            Say("archive %s unpacks to more than %llu bytes: refused\n", m_options.lpszZipFN, kMaxTotalBytes);
            return false;
        }
    }
    return true;
}

bool Unpacker::OpenStaging(const std::string& target) {
    std::string path = target + "/" + kStagingPrefix + "XXXXXX";
    if (!mkdtemp(&path[0])) {
        Say("cannot create a staging folder in %s: %s\n", target.c_str(), strerror(errno));
        return false;
    }
    m_staging = path;
    m_stagingFd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_stagingFd < 0 || flock(m_stagingFd, LOCK_EX) != 0 || mkdirat(m_stagingFd, kStagedEntries, 0755) != 0 ||
        mkdirat(m_stagingFd, kReplacedFiles, 0700) != 0) {
        Say("cannot prepare %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    m_newFd = openat(m_stagingFd, kStagedEntries, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    m_oldFd = openat(m_stagingFd, kReplacedFiles, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_newFd < 0 || m_oldFd < 0) {
        Say("cannot open %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    return true;
}

// Opens (making them when needed) the entry's folders below the staged entries
// without following a symbolic link; -1 when a file is in the way.
int Unpacker::OpenFolders(const std::string& name, const std::vector<std::string>& folders) {
    int fd = dup(m_newFd);
    for (const std::string& part : folders) {
        if (fd < 0) break;
        if (mkdirat(fd, part.c_str(), 0755) != 0 && errno != EEXIST) {
            Say("cannot create folder %s for %s: %s\n", Shown(part).c_str(), Shown(name).c_str(), strerror(errno));
            close(fd);
            Worsen(PK_DISK);
            return -1;
        }
        int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int error = errno;
        close(fd);
        if (next < 0) {
            Refuse(name, error == ELOOP || error == ENOTDIR ? "passes through a file" : strerror(error));
            return -1;
        }
        fd = next;
    }
    return fd;
}

void Unpacker::ExtractEntry(zip_uint64_t index) {
    zip_stat_t st;
    if (zip_stat_index(m_zip, index, ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
        Say("entry %llu: %s\n", static_cast<unsigned long long>(index), zip_strerror(m_zip));
        Worsen(PK_BADERR);
        return;
    }
    std::string name = st.name;
    std::vector<std::string> parts;
    const char* why = nullptr;
    if (!SafeComponents(name, parts, &why)) return Refuse(name, why);
    if (IsSymbolicLink(m_zip, index)) return Refuse(name, "symbolic link");

    bool folderEntry = name.back() == '/' || name.back() == '\\';
    if (m_options.SpaceToUnderscore)
        for (std::string& p : parts) std::replace(p.begin(), p.end(), ' ', '_');
    std::string leaf = parts.back();
    parts.pop_back();
    if (folderEntry) {
        if (!m_options.ndflag) return;
        parts.push_back(leaf);
        int fd = OpenFolders(name, parts);
        if (fd >= 0) close(fd);
        return;
    }
    if (!m_options.ndflag) parts.clear();

    int dirFd = OpenFolders(name, parts);
    if (dirFd < 0) return;
    WriteEntry(index, st, name, dirFd, leaf);
    close(dirFd);
}

// Writes one entry into the staging folder; an entry of the same name earlier
// in the archive is overwritten.
bool Unpacker::WriteEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& name, int dirFd,
                          const std::string& leaf) {
    const std::string shown = Shown(name);
    zip_file_t* file = nullptr;
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
        char password[81] = {0};
        if (!m_callbacks || !m_callbacks->password ||
            m_callbacks->password(password, sizeof password, "Enter password for: ", name.c_str()) != 0) {
            Say("skipped %s: no password\n", shown.c_str());
            Worsen(PK_BADPWD);
            return false;
        }
        password[sizeof password - 1] = '\0';
        file = zip_fopen_index_encrypted(m_zip, index, 0, password);
    } else {
        file = zip_fopen_index(m_zip, index, 0);
    }
    if (!file) {
        zip_error_t* error = zip_get_error(m_zip);
        Say("cannot open %s: %s\n", shown.c_str(), zip_error_strerror(error));
        Worsen(zip_error_code_zip(error) == ZIP_ER_WRONGPASSWD ? PK_BADPWD : PK_ERR);
        return false;
    }

    int out = openat(dirFd, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        Say("cannot write %s: %s\n", shown.c_str(), strerror(errno));
        zip_fclose(file);
        Worsen(PK_DISK);
        return false;
    }
    bool ok = true;
    unsigned long long entryBytes = 0;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
        if (n < 0) {
            // A wrong password that passed the first check fails here on the CRC.
            Say("error in %s: %s\n", shown.c_str(), zip_file_strerror(file));
            Worsen(PK_ERR);
            ok = false;
            break;
        }
        if (n == 0) break;
        entryBytes += static_cast<unsigned long long>(n);
        m_written += static_cast<unsigned long long>(n);
        if (((st.valid & ZIP_STAT_SIZE) && entryBytes > st.size) || m_written > kMaxTotalBytes) {
            Say("%s unpacks to more than it claims: refused\n", shown.c_str());
            Worsen(PK_BOMB);
            ok = false;
            break;
        }
        for (zip_int64_t done = 0; done < n;) {
            ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                Say("cannot write %s: %s\n", shown.c_str(), strerror(errno));
                Worsen(PK_DISK);
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    zip_fclose(file);
    if (close(out) != 0 && ok) {
        Say("cannot write %s: %s\n", shown.c_str(), strerror(errno));
        Worsen(PK_DISK);
        ok = false;
    }
    return ok;
}

// Checks the staged entries against the target: a file may replace its
// namesake, folders of both are merged, and nothing of the other kind, nor a
// symbolic link to a folder, may stand in the way. A file the replace callback
// keeps leaves the staging folder, so the target's copy of it stays.
bool Unpacker::CheckAgainstTarget(int stagedDir, int targetDir, const std::string& prefix) {
    std::vector<std::string> names;
    if (!NamesIn(stagedDir, names)) return false;
    bool ok = true;
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat staged, existing;
        if (fstatat(stagedDir, name.c_str(), &staged, AT_SYMLINK_NOFOLLOW) != 0) return false;
        if (fstatat(targetDir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISDIR(staged.st_mode)) {
            if (S_ISDIR(existing.st_mode)) {
                Refuse(path, "a folder of that name is in the way");
                ok = false;
            } else if (!m_options.noflag && m_callbacks && m_callbacks->replace) {
                std::string asked = path;
                int answer = m_callbacks->replace(&asked[0]);
                if ((answer == 0 || answer == IDM_REPLACE_NO) && unlinkat(stagedDir, name.c_str(), 0) != 0) {
                    Say("cannot keep %s: %s\n", Shown(path).c_str(), strerror(errno));
                    Worsen(PK_DISK);
                    ok = false;
                }
            }
            continue;
        }
        if (!S_ISDIR(existing.st_mode)) {
            Refuse(path, "passes through a symbolic link or a file");
            ok = false;
            continue;
        }
        int stagedSub = OpenFolderAt(stagedDir, name.c_str());
        int targetSub = OpenFolderAt(targetDir, name.c_str());
        ok = stagedSub >= 0 && targetSub >= 0 && CheckAgainstTarget(stagedSub, targetSub, path + "/") && ok;
        if (stagedSub >= 0) close(stagedSub);
        if (targetSub >= 0) close(targetSub);
    }
    return ok;
}

bool Unpacker::CannotCopy(const std::string& path) {
    Say("cannot copy %s into the staging folder: %s\n", Shown(path).c_str(), strerror(errno));
    Worsen(PK_DISK);
    return false;
}

// Copies into `to` what `from` holds and `to` lacks, with modes and times;
// symbolic links are copied as links, never followed. Folders of both merge,
// taking the mode of the one in the target.
bool Unpacker::CopyMissing(int from, int to, const std::string& prefix) {
    std::vector<std::string> names;
    if (!NamesIn(from, names)) return CannotCopy(prefix);
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        const char* leaf = name.c_str();
        struct stat st;
        if (fstatat(from, leaf, &st, AT_SYMLINK_NOFOLLOW) != 0) return CannotCopy(path);
        const bool staged = ExistsAt(to, leaf);
        if (S_ISDIR(st.st_mode)) {
            if (!staged && mkdirat(to, leaf, 0700) != 0) return CannotCopy(path);
            if (!MergeFolder(from, to, leaf, st.st_mode, path)) return false;
            continue;
        }
        if (staged) continue;  // the archive's file wins
        if (S_ISLNK(st.st_mode)) {
            char link[PATH_MAX + 1];
            ssize_t n = readlinkat(from, leaf, link, sizeof link);
            if (n >= static_cast<ssize_t>(sizeof link)) errno = ENAMETOOLONG;
            if (n < 0 || n >= static_cast<ssize_t>(sizeof link)) return CannotCopy(path);
            link[n] = '\0';
            if (symlinkat(link, to, leaf) != 0) return CannotCopy(path);
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            Say("cannot copy %s into the staging folder: not a file, folder or link\n", Shown(path).c_str());
            Worsen(PK_DISK);
            return false;
        }
        int in = openat(from, leaf, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (in < 0) return CannotCopy(path);
        int out = openat(to, leaf, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        bool ok = out >= 0;
        std::vector<char> buffer(1 << 16);
        while (ok) {
            ssize_t n = read(in, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            for (ssize_t done = 0; ok && done < n;) {
                ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
                if (w < 0 && errno == EINTR) continue;
                if (w == 0) errno = ENOSPC;
                ok = w > 0;
                if (ok) done += w;
            }
        }
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ok = ok && fchmod(out, st.st_mode & 07777) == 0 && futimens(out, times) == 0;
        int error = errno;
        close(in);
        if (out >= 0 && close(out) != 0 && ok) {
            error = errno;
            ok = false;
        }
        errno = error;
        if (!ok) return CannotCopy(path);
    }
    return true;
}

// Copies what the folder `leaf` of fromParent holds into the one of toParent,
// which then takes the mode given.
bool Unpacker::MergeFolder(int fromParent, int toParent, const char* leaf, mode_t mode, const std::string& path) {
    const int from = OpenFolderAt(fromParent, leaf);
    const int to = from >= 0 ? OpenFolderAt(toParent, leaf) : -1;
    bool ok = to >= 0 && CopyMissing(from, to, path + "/");
    if (ok && fchmod(to, mode & 07777) != 0) ok = CannotCopy(path);
    else if (!ok && to < 0) CannotCopy(path);
    if (from >= 0) close(from);
    if (to >= 0) close(to);
    return ok;
}

// Makes every staged folder that replaces one in the target a whole copy of
// it with the archive's files over it: files the archive lacks are kept.
bool Unpacker::CompleteFolders() {
    std::vector<std::string> names;
    if (!NamesIn(m_newFd, names)) return CannotCopy("");
    for (const std::string& name : names) {
        struct stat st;
        if (fstatat(m_targetFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (!MergeFolder(m_targetFd, m_newFd, name.c_str(), st.st_mode, name)) return false;
    }
    return true;
}

// Swaps every staged top-level entry in. A failing swap puts back what the
// swaps before it changed; a killed one is finished by the next start.
bool Unpacker::SwapIntoTarget() {
    std::vector<std::string> names;
    int marker = -1;
    if (!NamesIn(m_newFd, names) ||
        (marker = openat(m_stagingFd, kSwapping, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)) < 0) {
        Say("cannot begin to move the entries into place: %s\n", strerror(errno));
        Worsen(PK_DISK);
        return false;
    }
    close(marker);
    size_t done = 0;
    for (; done < names.size(); ++done) {
        if (SwapIn(m_targetFd, m_newFd, m_oldFd, names[done].c_str())) continue;
        Say("cannot move %s into place: %s\n", Shown(names[done]).c_str(), strerror(errno));
        Worsen(PK_DISK);
        break;
    }
    // Finished or undone from here on: the next start has nothing to finish.
    unlinkat(m_stagingFd, kSwapping, 0);
    if (done == names.size()) return true;
    for (size_t i = done + 1; i-- > 0;) {
        if (PutBack(m_targetFd, m_newFd, m_oldFd, names[i].c_str())) continue;
        Say("cannot put back %s: %s\n", Shown(names[i]).c_str(), strerror(errno));
        m_keepStaging = true;
    }
    return false;
}

int Unpacker::Run(int includeCount, char** includes, int excludeCount, char** excludes) {
    if (!m_options.lpszZipFN || !*m_options.lpszZipFN) return PK_PARAM;
    // Listing, testing and writing to standard output are not offered.
    if (m_options.ncflag || m_options.ntflag || m_options.nvflag) return PK_PARAM;

    int error = 0;
    std::string archive = HostFolder(m_options.lpszZipFN);
    m_zip = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!m_zip) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        Say("cannot open archive %s: %s\n", m_options.lpszZipFN, zip_error_strerror(&e));
        zip_error_fini(&e);
        return error == ZIP_ER_NOENT || error == ZIP_ER_OPEN || error == ZIP_ER_NOZIP ? PK_FIND : PK_BADERR;
    }
    zip_int64_t count = zip_get_num_entries(m_zip, 0);
    if (count < 0) return PK_BADERR;
    if (!CheckSizes(count)) return PK_BOMB;

    std::string target = HostFolder(m_options.lpszExtractDir);
    if (mkdir(target.c_str(), 0755) != 0 && errno != EEXIST) {
        Say("cannot create %s: %s\n", target.c_str(), strerror(errno));
        return PK_DISK;
    }
    m_targetFd = open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_targetFd < 0) {
        Say("cannot open %s: %s\n", target.c_str(), strerror(errno));
        return PK_DISK;
    }
    FinishInterrupted(m_targetFd, target, m_callbacks ? m_callbacks->print : nullptr);
    if (!OpenStaging(target)) return PK_DISK;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (name && !Wanted(name, includeCount, includes, excludeCount, excludes)) continue;
        ExtractEntry(static_cast<zip_uint64_t>(i));
    }
    // Anything short of every entry unpacked installs nothing.
    if (m_result != PK_OK) return m_result;
    if (!CheckAgainstTarget(m_newFd, m_targetFd, "")) return std::max(m_result, PK_WARN);
    if (CompleteFolders()) SwapIntoTarget();
    return m_result;
}

}  // namespace

// The test variant without the entry point exports it under another name.
#ifdef ARCH_NO_ENTRY
#define Wiz_SingleEntryUnzip Wiz_SingleEntryUnzipElsewhere
#endif
ARCH_EXPORT int WINAPI Wiz_SingleEntryUnzip(int includeCount, char** includes, int excludeCount,
                                            char** excludes, LPDCL options, LPUSERFUNCTIONS callbacks) {
    if (!options) return PK_PARAM;
    Unpacker unpacker(*options, callbacks);
    return unpacker.Run(includeCount, includes, excludeCount, excludes);
}

ARCH_EXPORT int WINAPI KolvarFinishInterruptedInstalls(LPCSTR folder, DLLPRNT print) {
    const std::string target = HostFolder(folder);
    int fd = open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int removed = FinishInterrupted(fd, target, print);
    close(fd);
    return removed;
}
