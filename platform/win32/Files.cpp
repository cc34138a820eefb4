// Files, folders and path translation. The game builds Windows paths; they are
// translated only at the moment a file is opened.
#include "HandleTable.h"
#include "ProcessInternal.h"
#include "platform.h"
#include "win32.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {

namespace {

DWORD ErrnoToWin32(int e) {
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_INVALID_PARAMETER;
    }
}

// Finds an entry of dir whose name equals name ignoring case.
bool FindCaseInsensitive(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    bool ok = false;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            ok = true;
            break;
        }
    }
    closedir(d);
    return ok;
}

}  // namespace

std::string HostPath(const char* windowsPath) {
    if (!windowsPath) return std::string();
    std::string p(windowsPath);
    for (char& c : p)
        if (c == '\\') c = '/';
    // "C:/x" -> "/x"; a drive letter has no meaning here.
    if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
        p.erase(0, 2);
    if (p.empty()) return p;

    struct stat st;
    if (lstat(p.c_str(), &st) == 0) return p;

    // Walk the components, fixing the case of each one that does not exist as written.
    std::string out;
    size_t i = 0;
    if (p[0] == '/') {
        out = "/";
        i = 1;
    }
    bool exists = true;
    while (i <= p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string::npos) j = p.size();
        std::string comp = p.substr(i, j - i);
        i = j + 1;
        if (comp.empty()) continue;
        std::string candidate = out + (out.empty() || out.back() == '/' ? "" : "/") + comp;
        if (exists && comp != "." && comp != ".." && lstat(candidate.c_str(), &st) != 0) {
            std::string found;
            if (FindCaseInsensitive(out, comp, found))
                candidate = out + (out.empty() || out.back() == '/' ? "" : "/") + found;
            else
                exists = false;
        }
        out = candidate;
        if (j == p.size()) break;
    }
    if (!p.empty() && p.back() == '/' && (out.empty() || out.back() != '/')) out += '/';
    return out;
}

bool HostExists(const std::string& hostPath) {
    struct stat st;
    return !hostPath.empty() && stat(hostPath.c_str(), &st) == 0;
}

bool FileIdentity(const std::string& hostPath, uint64_t& device, uint64_t& inode) {
    struct stat st;
    if (hostPath.empty() || stat(hostPath.c_str(), &st) != 0) return false;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool IsReadOnlyFile(const std::string& hostPath) {
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return access(hostPath.c_str(), W_OK) != 0;
}

bool ReadWholeFile(const std::string& hostPath, std::string& out) {
    out.clear();
    // Non-blocking open so a FIFO cannot hang the game; only regular files are read.
    int fd = open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int err = errno;
        close(fd);
        errno = err;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        std::fprintf(stderr, "refusing to read \"%s\": not a regular file\n", hostPath.c_str());
        errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
        return false;
    }
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > kMaxReadFileSize) {
        close(fd);
        std::fprintf(stderr, "refusing to read \"%s\": larger than %llu bytes\n", hostPath.c_str(),
                     static_cast<unsigned long long>(kMaxReadFileSize));
        errno = EFBIG;
        return false;
    }
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            close(fd);
            out.clear();
            errno = err;
            return false;
        }
        if (n == 0) break;
        // The file may grow while it is read: the bound holds for what is read too.
        if (out.size() + static_cast<size_t>(n) > kMaxReadFileSize) {
            close(fd);
            out.clear();
            std::fprintf(stderr, "refusing to read \"%s\": larger than %llu bytes\n", hostPath.c_str(),
                         static_cast<unsigned long long>(kMaxReadFileSize));
            errno = EFBIG;
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool IsGameDataFile(const std::string& hostPath) {
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxReadFileSize) {
        std::fprintf(stderr, "refusing to read \"%s\": not a regular file of at most %llu bytes\n",
                     hostPath.c_str(), static_cast<unsigned long long>(kMaxReadFileSize));
        return false;
    }
    return true;
}

namespace {

// The safe write itself; errno tells why it failed.
bool WriteFileSafelyUnrecorded(const std::string& hostPath, const std::string& contents) {
    // No name: the temporary would land in the current folder.
    if (hostPath.empty()) {
        errno = ENOENT;
        return false;
    }
    if (IsReadOnlyFile(hostPath)) {
        errno = EACCES;
        return false;
    }
    std::string tmp = hostPath + ".tmpXXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    struct stat st;
    fchmod(fd, stat(hostPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t w = write(fd, contents.data() + done, contents.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            unlink(name.data());
            errno = error;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    // The descriptor is closed even when the sync fails.
    const bool synced = fsync(fd) == 0;
    int error = errno;
    const bool closed = close(fd) == 0;
    if (!synced || !closed) {
        if (synced) error = errno;
        unlink(name.data());
        errno = error;
        return false;
    }
    if (rename(name.data(), hostPath.c_str()) != 0) {
        const int error = errno;
        unlink(name.data());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace

bool WriteFileSafely(const std::string& hostPath, const std::string& contents) {
    if (WriteFileSafelyUnrecorded(hostPath, contents)) return true;
    const int error = errno;
    RecordWriteFailure(hostPath, error);
    errno = error;
    return false;
}

}  // namespace platform

using platform::HostPath;

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    DWORD len = static_cast<DWORD>(strlen(cwd));
    if (!buffer || bufferLength <= len) return len + 1;  // size needed, terminator included
    memcpy(buffer, cwd, len + 1);
    return len;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (!path) return FALSE;
    std::string host = HostPath(path);
    if (chdir(host.c_str()) != 0) {
        SetLastError(platform::ErrnoToWin32(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name(fileName);
    bool absolute = name[0] == '/' || name[0] == '\\' ||
                    (name.size() >= 2 && name[1] == ':');
    std::string full;
    if (absolute) {
        full = name;
    } else {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return 0;
        full = std::string(cwd) + "\\" + name;
    }
    DWORD len = static_cast<DWORD>(full.size());
    if (!buffer || bufferLength <= len) return len + 1;
    memcpy(buffer, full.c_str(), len + 1);
    if (filePart) {
        char* last = buffer;
        for (char* c = buffer; *c; ++c)
            if (*c == '\\' || *c == '/') last = c + 1;
        *filePart = *last ? last : nullptr;
    }
    return len;
}

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
    if (!existingFile || !newFile) return FALSE;
    std::string src = HostPath(existingFile), dst = HostPath(newFile);
    std::string data;
    if (!platform::ReadWholeFile(src, data)) {
        SetLastError(platform::ErrnoToWin32(errno));
        return FALSE;
    }
    if (failIfExists && platform::HostExists(dst)) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    FILE* f = fopen(dst.c_str(), "wb");
    if (!f) {
        SetLastError(platform::ErrnoToWin32(errno));
        return FALSE;
    }
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (fclose(f) == 0) && ok;
    return ok ? TRUE : FALSE;
}

BOOL DeleteFileA(LPCSTR fileName) {
    if (!fileName) return FALSE;
    if (unlink(HostPath(fileName).c_str()) != 0) {
        SetLastError(platform::ErrnoToWin32(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileA(LPCSTR existingFile, LPCSTR newFile) {
    if (!existingFile || !newFile) return FALSE;
    std::string dst = HostPath(newFile);
    if (platform::HostExists(dst)) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (rename(HostPath(existingFile).c_str(), dst.c_str()) != 0) {
        SetLastError(platform::ErrnoToWin32(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, void*) {
    if (!path) return FALSE;
    if (mkdir(HostPath(path).c_str(), 0755) != 0) {
        SetLastError(errno == EEXIST ? 183 /* ERROR_ALREADY_EXISTS */ : platform::ErrnoToWin32(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    if (!path) return FALSE;
    if (rmdir(HostPath(path).c_str()) != 0) {
        SetLastError(platform::ErrnoToWin32(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    if (!fileName) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    std::string host = HostPath(fileName);
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(platform::ErrnoToWin32(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attr = 0;
    if (S_ISDIR(st.st_mode)) attr |= FILE_ATTRIBUTE_DIRECTORY;
    if (!S_ISDIR(st.st_mode) && platform::IsReadOnlyFile(host)) attr |= FILE_ATTRIBUTE_READONLY;
    const char* base = strrchr(host.c_str(), '/');
    base = base ? base + 1 : host.c_str();
    if (base[0] == '.' && strcmp(base, ".") != 0 && strcmp(base, "..") != 0) attr |= FILE_ATTRIBUTE_HIDDEN;
    return attr ? attr : FILE_ATTRIBUTE_NORMAL;
}

// ---- File handles ----

namespace {
struct FileHandle {
    int fd;
};
struct FindHandle {
    std::vector<std::string> names;  // matching entries in listing order
    size_t next;
    std::string folder;
};

// Never destroyed: a handle may still be closed from another object's destructor at exit.
winimpl::HandleTable<FileHandle>& Files() {
    static auto* table = new winimpl::HandleTable<FileHandle>;
    return *table;
}
winimpl::HandleTable<FindHandle>& Finds() {
    static auto* table = new winimpl::HandleTable<FindHandle>;
    return *table;
}

FileHandle* AsFile(HANDLE h) { return Files().Find(h); }
}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD, void*, DWORD creationDisposition, DWORD, HANDLE) {
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string host = HostPath(fileName);
    int flags = 0;
    bool rd = access & GENERIC_READ, wr = access & GENERIC_WRITE;
    flags = (rd && wr) ? O_RDWR : wr ? O_WRONLY : O_RDONLY;
    switch (creationDisposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
        default: break;  // OPEN_EXISTING
    }
    if (wr && platform::IsReadOnlyFile(host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int fd = open(host.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(platform::ErrnoToWin32(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return Files().Add(std::unique_ptr<FileHandle>(new FileHandle{fd}));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, void*) {
    FileHandle* f = AsFile(file);
    if (bytesRead) *bytesRead = 0;
    if (!f || (!buffer && bytesToRead)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < bytesToRead) {
        ssize_t n = read(f->fd, static_cast<char*>(buffer) + total, bytesToRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(platform::ErrnoToWin32(errno));
            if (bytesRead) *bytesRead = total;
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (bytesRead) *bytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, void*) {
    FileHandle* f = AsFile(file);
    if (bytesWritten) *bytesWritten = 0;
    if (!f || (!buffer && bytesToWrite)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < bytesToWrite) {
        ssize_t n = write(f->fd, static_cast<const char*>(buffer) + total, bytesToWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(platform::ErrnoToWin32(errno));
            if (bytesWritten) *bytesWritten = total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (bytesWritten) *bytesWritten = total;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    FileHandle* f = AsFile(file);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
    FileHandle* f = AsFile(file);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t dist = distanceHigh ? ((static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance))
                                : distance;
    int whence = moveMethod == FILE_CURRENT ? SEEK_CUR : moveMethod == FILE_END ? SEEK_END : SEEK_SET;
    off_t pos = lseek(f->fd, dist, whence);
    if (pos < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
    return static_cast<DWORD>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE object) {
    if (winimpl::CloseProcessHandle(object)) return TRUE;
    if (std::unique_ptr<FileHandle> f = Files().Remove(object)) {
        close(f->fd);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

// ---- File search ----

namespace {
// NTFS lists a folder in upper-cased name order; readdir's order depends on the
// file system, so the listing is sorted the same way here (bytes break ties).
bool ListsBefore(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::toupper(static_cast<unsigned char>(a[i]));
        int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool NextMatch(FindHandle* h, LPWIN32_FIND_DATAA data) {
    while (h->next < h->names.size()) {
        const std::string& name = h->names[h->next++];
        memset(data, 0, sizeof *data);
        std::string full = h->folder + name;
        struct stat st;
        if (stat(full.c_str(), &st) != 0) continue;  // removed since the listing
        data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
        snprintf(data->cFileName, sizeof data->cFileName, "%s", name.c_str());
        return true;
    }
    return false;
}
}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string p(pattern);
    size_t cut = p.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? std::string(".") : p.substr(0, cut);
    std::string mask = cut == std::string::npos ? p : p.substr(cut + 1);
    if (mask == "*.*") mask = "*";  // Windows: "*.*" also matches names without a dot
    std::string hostFolder = HostPath(folder.empty() ? "/" : folder.c_str());
    DIR* d = opendir(hostFolder.c_str());
    if (!d) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::unique_ptr<FindHandle> h(new FindHandle{{}, 0, hostFolder + "/"});
    while (dirent* e = readdir(d))
        if (fnmatch(mask.c_str(), e->d_name, FNM_CASEFOLD) == 0) h->names.emplace_back(e->d_name);
    closedir(d);
    std::sort(h->names.begin(), h->names.end(), ListsBefore);
    if (!NextMatch(h.get(), data)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return Finds().Add(std::move(h));
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    FindHandle* h = Finds().Find(find);
    if (!h || !data) return FALSE;
    if (NextMatch(h, data)) return TRUE;
    SetLastError(18 /* ERROR_NO_MORE_FILES */);
    return FALSE;
}

BOOL FindClose(HANDLE find) {
    return Finds().Remove(find) ? TRUE : FALSE;
}
