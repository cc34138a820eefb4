// The unzip library over libzip. Theme archives come from the internet, so
// every entry is checked before anything is written: no entry may land outside
// the target folder (through "..", an absolute name or a symbolic link), and
// the whole archive may not unpack to more than kMaxTotalBytes. An archive is
// unpacked whole into a hidden staging folder inside the target and only then
// moved into place, so a failing archive leaves the target as it was.
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

// Inside a staging folder: the unpacked entries, and the files they replace
// until every entry is in place.
const char kStagedEntries[] = "new";
const char kReplacedFiles[] = "old";

// One entry (a file, or a folder new to the target) to move from the staging folder into the target.
struct Move {
    std::string path;  // relative to both
    bool replaces;     // a file of that name is in the target
};

class Unpacker {
public:
    Unpacker(const DCL& options, const USERFUNCTIONS* callbacks) : m_options(options), m_callbacks(callbacks) {}
    ~Unpacker() {
        for (int fd : {m_newFd, m_oldFd, m_stagingFd, m_targetFd})
            if (fd >= 0) close(fd);
        if (!m_staging.empty()) {
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
    void RemoveLeftoverStaging(const std::string& target);
    bool OpenStaging(const std::string& target);
    void ExtractEntry(zip_uint64_t index);
    int OpenFolders(const std::string& name, const std::vector<std::string>& folders);
    bool WriteEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& name, int dirFd,
                    const std::string& leaf);
    bool PlanMoves(int stagedDir, int targetDir, const std::string& prefix, std::vector<Move>& moves);
    bool MoveIntoTarget(const std::vector<Move>& moves);

    DCL m_options;
    const USERFUNCTIONS* m_callbacks;
    zip_t* m_zip = nullptr;
    int m_targetFd = -1;
    // The staging folder (held locked while in use), its entries and the replaced files.
    std::string m_staging;
    int m_stagingFd = -1;
    int m_newFd = -1;
    int m_oldFd = -1;
    int m_result = PK_OK;
    unsigned long long m_written = 0;
};

void Unpacker::Say(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (m_callbacks && m_callbacks->print)
        m_callbacks->print(text, static_cast<unsigned long>(strlen(text)));
    else
        fputs(text, stdout);
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

// Staging folders that an interrupted installation left behind; one that
// another installation holds locked is still in use.
void Unpacker::RemoveLeftoverStaging(const std::string& target) {
    DIR* dir = fdopendir(dup(m_targetFd));
    if (!dir) return;
    std::vector<std::string> leftovers;
    while (dirent* e = readdir(dir))
        if (strncmp(e->d_name, kStagingPrefix, sizeof kStagingPrefix - 1) == 0) leftovers.push_back(e->d_name);
    closedir(dir);
    for (const std::string& name : leftovers) {
        int fd = openat(m_targetFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::error_code ignored;
            std::filesystem::remove_all(target + "/" + name, ignored);
        }
        close(fd);
    }
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

// Lists what moving the staged entries into the target takes: a file or folder
// the target lacks moves whole; an existing folder is merged file by file; a
// file replaces its namesake. False when something of the other kind, or a
// symbolic link to a folder, stands in the way.
bool Unpacker::PlanMoves(int stagedDir, int targetDir, const std::string& prefix, std::vector<Move>& moves) {
    DIR* dir = fdopendir(dup(stagedDir));
    if (!dir) return false;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    bool ok = true;
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat staged, existing;
        if (fstatat(stagedDir, name.c_str(), &staged, AT_SYMLINK_NOFOLLOW) != 0) return false;
        if (fstatat(targetDir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
            moves.push_back({path, false});
            continue;
        }
        if (!S_ISDIR(staged.st_mode)) {
            if (S_ISDIR(existing.st_mode)) {
                Refuse(path, "a folder of that name is in the way");
                ok = false;
            } else if (m_options.noflag || !m_callbacks || !m_callbacks->replace) {
                moves.push_back({path, true});
            } else {
                std::string asked = path;
                int answer = m_callbacks->replace(&asked[0]);
                if (answer != 0 && answer != IDM_REPLACE_NO) moves.push_back({path, true});
            }
            continue;
        }
        if (!S_ISDIR(existing.st_mode)) {
            Refuse(path, "passes through a symbolic link or a file");
            ok = false;
            continue;
        }
        int stagedSub = openat(stagedDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int targetSub = openat(targetDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ok = stagedSub >= 0 && targetSub >= 0 && PlanMoves(stagedSub, targetSub, path + "/", moves) && ok;
        if (stagedSub >= 0) close(stagedSub);
        if (targetSub >= 0) close(targetSub);
    }
    return ok;
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

// Every move or none: a failing one puts back what the moves before it changed.
bool Unpacker::MoveIntoTarget(const std::vector<Move>& moves) {
    size_t done = 0;
    for (; done < moves.size(); ++done) {
        const char* path = moves[done].path.c_str();
        const std::string replaced = std::to_string(done);
        bool ok;
        if (moves[done].replaces) {
            ok = renameat(m_targetFd, path, m_oldFd, replaced.c_str()) == 0;
            if (ok && renameat(m_newFd, path, m_targetFd, path) != 0) {
                int error = errno;
                renameat(m_oldFd, replaced.c_str(), m_targetFd, path);
                errno = error;
                ok = false;
            }
        } else {
            ok = RenameNew(m_newFd, path, m_targetFd, path) == 0;
        }
        if (!ok) {
            Say("cannot move %s into place: %s\n", Shown(moves[done].path).c_str(), strerror(errno));
            Worsen(PK_DISK);
            break;
        }
    }
    if (done == moves.size()) return true;
    while (done-- > 0) {
        const char* path = moves[done].path.c_str();
        if (renameat(m_targetFd, path, m_newFd, path) != 0 ||
            (moves[done].replaces && renameat(m_oldFd, std::to_string(done).c_str(), m_targetFd, path) != 0))
            Say("cannot put back %s: %s\n", Shown(moves[done].path).c_str(), strerror(errno));
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
    RemoveLeftoverStaging(target);
    if (!OpenStaging(target)) return PK_DISK;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (name && !Wanted(name, includeCount, includes, excludeCount, excludes)) continue;
        ExtractEntry(static_cast<zip_uint64_t>(i));
    }
    // Anything short of every entry unpacked installs nothing.
    if (m_result != PK_OK) return m_result;
    std::vector<Move> moves;
    if (!PlanMoves(m_newFd, m_targetFd, "", moves)) return std::max(m_result, PK_WARN);
    MoveIntoTarget(moves);
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
