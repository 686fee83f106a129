// The Windows side of the file saves. The same rules as on POSIX, in the
// system's own terms: a name is taken with CREATE_NEW, a file is put in place
// with MoveFileExW (replacing or not, written through), content is flushed
// with FlushFileBuffers, and what flock does there is a LockFileEx lock.
//
// Windows locks are mandatory (a locked range cannot be read by others), so
// a run holds one byte far beyond any content instead of the whole file: the
// content stays readable, and the lock still tells a live run from a killed
// one, as it goes with the process.

#include <windows.h>

#include <cstdint>
#include <random>
#include <utility>

#include "config/AtomicFile.h"
#include "config/AtomicFileParts.h"
#include "link/WinText.h"

namespace orvan::config {

namespace {

using link::Widen;

constexpr std::string_view kTempTag = ".orvantmp";
constexpr std::size_t kTempRandom = 6;
constexpr std::size_t kMaxBaseInTempName = 200;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The byte a run locks: the top of the 64-bit range, which no file reaches.
constexpr DWORD kLockOffsetHigh = 0xFFFFFFFFu;
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;

std::string Reason(DWORD err) {
    return link::SystemErrorText(err);
}

HANDLE ToHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

// Kernel handles fit in 32 bits on 64-bit Windows (their upper half is the
// sign extension) and are never negative, so the reservation keeps its
// handle where POSIX keeps the descriptor.
int FromHandle(HANDLE h) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

std::string Folder(const std::string& path) {
    const auto slash = LastSeparator(path);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, std::string_view name) {
    if (!folder.empty() && IsSeparator(folder.back())) return folder + std::string(name);
    return folder + "\\" + std::string(name);
}

bool IsTempName(std::string_view name) {
    if (name.size() < 1 + kTempTag.size() + kTempRandom || name.front() != '.') return false;
    return name.substr(name.size() - kTempRandom - kTempTag.size(), kTempTag.size()) == kTempTag;
}

bool Lock(HANDLE h, bool exclusive) {
    OVERLAPPED o{};
    o.Offset = kLockOffsetLow;
    o.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return ::LockFileEx(h, flags, 0, 1, 0, &o) != 0;
}

void Unlock(HANDLE h) {
    OVERLAPPED o{};
    o.Offset = kLockOffsetLow;
    o.OffsetHigh = kLockOffsetHigh;
    (void)::UnlockFileEx(h, 0, 1, 0, &o);
}

// True when the file behind the handle has been deleted by someone meanwhile
// (it goes once the last handle closes).
bool DeletePending(HANDLE h) {
    FILE_STANDARD_INFO info{};
    if (!::GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info)) return false;
    return info.DeletePending != FALSE;
}

bool DeleteByHandle(HANDLE h) {
    FILE_DISPOSITION_INFO d{};
    d.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &d, sizeof d) != 0;
}

std::uint64_t SizeOf(HANDLE h) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h, &size)) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool IsFolder(const std::string& path) {
    const DWORD a = ::GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string RandomPart() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937 gen{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string out;
    for (std::size_t i = 0; i < kTempRandom; ++i) out += kChars[pick(gen)];
    return out;
}

// A temporary file beside `path`, created and locked; INVALID_HANDLE_VALUE
// with `err` set.
HANDLE CreateTemp(const std::string& path, std::string& tmp, DWORD& err) {
    const std::string folder = Folder(path);
    std::string base = BaseName(path);
    if (base.size() > kMaxBaseInTempName) base.resize(kMaxBaseInTempName);
    const bool bare = LastSeparator(path) == std::string::npos;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string name = "." + base + std::string(kTempTag) + RandomPart();
        const std::string full = bare ? name : Join(folder, name);
        const HANDLE h =
            ::CreateFileW(Widen(full).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            err = ::GetLastError();
            if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) continue;
            return h;
        }
        // Locked for as long as it is written: the lock is what tells a live
        // save from a killed one.
        if (Lock(h, true) && !DeletePending(h)) {
            tmp = full;
            return h;
        }
        // Taken for a stale file between its creation and its lock.
        ::CloseHandle(h);
    }
    err = ERROR_BUSY;
    return INVALID_HANDLE_VALUE;
}

// Writes and flushes the content; 0 or the error of the failure.
DWORD WriteAll(HANDLE h, std::string_view content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const std::size_t left = content.size() - done;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::WriteFile(h, content.data() + done, chunk, &n, nullptr)) return ::GetLastError();
        if (n == 0) return ERROR_WRITE_FAULT;
        done += n;
    }
    if (!::FlushFileBuffers(h)) return ::GetLastError();
    return 0;
}

// The temporary file with the content, flushed; its handle stays open (and
// locked) until the caller has put the file in place.
HANDLE WriteTemp(const std::string& path, std::string_view content, std::string& tmp,
                 SaveResult& r) {
    (void)RemoveStaleTemporaryFiles(Folder(path));
    DWORD err = 0;
    const HANDLE h = CreateTemp(path, tmp, err);
    if (h == INVALID_HANDLE_VALUE) {
        r.why = "cannot create \"" + path + "\": " + Reason(err);
        return h;
    }
    err = WriteAll(h, content);
    if (err != 0) {
        (void)DeleteByHandle(h);
        ::CloseHandle(h);
        r.why = "cannot write \"" + path + "\": " + Reason(err);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// Puts the written temporary file in place (replacing or not), then lets it
// go; the temporary file is gone either way. 0 or the error.
DWORD PutInPlace(HANDLE h, const std::string& tmp, const std::string& path, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    DWORD err = 0;
    if (!::MoveFileExW(Widen(tmp).c_str(), Widen(path).c_str(), flags)) {
        err = ::GetLastError();
        (void)DeleteByHandle(h);
    }
    Unlock(h);
    ::CloseHandle(h);
    return err;
}

}  // namespace

SaveResult detail::ReplaceWith(const std::string& path, std::string_view content) {
    SaveResult r;
    std::string tmp;
    const HANDLE h = WriteTemp(path, content, tmp, r);
    if (h == INVALID_HANDLE_VALUE) return r;
    if (const DWORD err = PutInPlace(h, tmp, path, true); err != 0) {
        r.why = "cannot replace \"" + path + "\": " + Reason(err);
        return r;
    }
    r.ok = true;
    return r;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileW(Widen(Join(folder, ".*" + std::string(kTempTag) + "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::string name = link::Narrow(found.cFileName);
        if (!IsTempName(name)) continue;
        const HANDLE h =
            ::CreateFileW(Widen(Join(folder, name)).c_str(), GENERIC_READ | DELETE, kShareAll,
                          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        // A lock that can be taken means the save that made the file is gone.
        if (::GetFileType(h) == FILE_TYPE_DISK && Lock(h, true)) {
            if (DeleteByHandle(h)) ++removed;
            Unlock(h);
        }
        ::CloseHandle(h);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}

bool HeldByAnotherRun(const std::string& path) {
    if (IsFolder(path)) return false;
    const HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool held = false;
    if (::GetFileType(h) == FILE_TYPE_DISK) {
        if (Lock(h, false))
            Unlock(h);
        else
            held = ::GetLastError() == ERROR_LOCK_VIOLATION;
    }
    ::CloseHandle(h);
    return held;
}

SaveResult TReservedFile::Reserve(const std::string& path, bool mayReplace) {
    Release();
    committed_ = false;
    created_ = false;
    if (path.empty()) return SaveResult{{false, "no file name given"}, false};
    const std::wstring wide = Widen(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            // Another run may open the new empty file and lock it before this
            // one does; then it is that run's, as any empty file it finds.
            if (!Lock(h, true)) {
                ::CloseHandle(h);
                return SaveResult{{false, "\"" + path + "\" is being written by another run"},
                                  true};
            }
            path_ = path;
            fd_ = FromHandle(h);
            created_ = true;
            return SaveResult{{true, {}}, false};
        }
        DWORD err = ::GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) {
            // A folder of that name answers "access denied" here.
            if (IsFolder(path)) return SaveResult{{false, "\"" + path + "\" is not a file"}, true};
            return SaveResult{{false, "cannot create \"" + path + "\": " + Reason(err)}, false};
        }
        if (IsFolder(path)) return SaveResult{{false, "\"" + path + "\" is not a file"}, true};
        h = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            err = ::GetLastError();
            if (err == ERROR_FILE_NOT_FOUND) continue;  // removed meanwhile: the free name again
            return SaveResult{
                {false, "\"" + path + "\" exists and cannot be opened: " + Reason(err)}, true};
        }
        if (::GetFileType(h) != FILE_TYPE_DISK) {
            ::CloseHandle(h);
            return SaveResult{{false, "\"" + path + "\" is not a file"}, true};
        }
        if (!Lock(h, true)) {
            ::CloseHandle(h);
            return SaveResult{{false, "\"" + path + "\" is being written by another run"}, true};
        }
        // Still the file of that name (not one deleted between open and lock)?
        if (DeletePending(h)) {
            ::CloseHandle(h);
            continue;
        }
        if (!mayReplace && SizeOf(h) != 0) {
            ::CloseHandle(h);
            return SaveResult{{false, "\"" + path + "\" exists"}, true};
        }
        path_ = path;
        fd_ = FromHandle(h);
        return SaveResult{{true, {}}, false};
    }
    return SaveResult{{false, "cannot take \"" + path + "\": it keeps changing"}, false};
}

SaveResult TReservedFile::Commit(std::string_view content) {
    if (!Held()) return SaveResult{{false, "\"" + path_ + "\" is not reserved"}, false};
    SaveResult r;
    std::string tmp;
    const HANDLE t = WriteTemp(path_, content, tmp, r);
    if (t == INVALID_HANDLE_VALUE) return r;
    // Windows will not rename over a file this run holds open, so the
    // reservation's handle goes first; the written file, locked as it was
    // written, then holds the name in its place until Release.
    const HANDLE held = ToHandle(fd_);
    Unlock(held);
    ::CloseHandle(held);
    fd_ = -1;
    if (!::MoveFileExW(Widen(tmp).c_str(), Widen(path_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD err = ::GetLastError();
        (void)DeleteByHandle(t);
        ::CloseHandle(t);
        if (created_) {
            // The empty placeholder made here goes, as at Release.
            const HANDLE p = ::CreateFileW(Widen(path_).c_str(), GENERIC_READ | DELETE, kShareAll,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (p != INVALID_HANDLE_VALUE) {
                if (SizeOf(p) == 0 && Lock(p, true)) (void)DeleteByHandle(p);
                ::CloseHandle(p);
            }
        }
        r.why = "cannot replace \"" + path_ + "\": " + Reason(err);
        return r;
    }
    fd_ = FromHandle(t);
    committed_ = true;
    r.ok = true;
    return r;
}

void TReservedFile::Release() {
    if (!Held()) return;
    const HANDLE h = ToHandle(fd_);
    // Only the empty placeholder made here, never a file put in its place:
    // the handle names the placeholder itself, whatever the name holds now.
    if (created_ && !committed_ && !DeletePending(h) && SizeOf(h) == 0) (void)DeleteByHandle(h);
    Unlock(h);
    ::CloseHandle(h);
    fd_ = -1;
}

SaveResult SaveNewFile(const std::string& path, std::string_view content) {
    SaveResult r;
    if (path.empty()) {
        r.why = "cannot save: no file name given";
        return r;
    }
    std::string tmp;
    const HANDLE h = WriteTemp(path, content, tmp, r);
    if (h == INVALID_HANDLE_VALUE) return r;
    // Without MOVEFILE_REPLACE_EXISTING the move takes the name only when it
    // is free, in one step.
    const DWORD err = PutInPlace(h, tmp, path, false);
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) {
        r.exists = true;
        r.why = "\"" + path + "\" exists already";
        return r;
    }
    if (err != 0) {
        r.why = "cannot create \"" + path + "\": " + Reason(err);
        return r;
    }
    r.ok = true;
    return r;
}

bool PlaceNewFile(const std::string& from, const std::string& to, std::string& why) {
    // A copy that fails when the name is taken; `from` stays as on POSIX,
    // where the name is a second link.
    if (::CopyFileExW(Widen(from).c_str(), Widen(to).c_str(), nullptr, nullptr, nullptr,
                      COPY_FILE_FAIL_IF_EXISTS) != 0)
        return true;
    why = Reason(::GetLastError());
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string* error,
                   std::uintmax_t maxBytes) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (IsFolder(path)) return fail("\"" + path + "\" is not a regular file (a folder); not read");
    const HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail("cannot open \"" + path + "\": " + Reason(::GetLastError()));
    // Never reads a pipe or a device (NUL, CON, a COM port): the kind first.
    const DWORD type = ::GetFileType(h);
    if (type != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return fail("\"" + path + "\" is not a regular file (" +
                    (type == FILE_TYPE_PIPE ? "a pipe" : "a device") + "); not read");
    }
    const std::uint64_t size = SizeOf(h);
    if (size > maxBytes) {
        ::CloseHandle(h);
        return fail("\"" + path + "\" is too large (" + std::to_string(size) + " bytes, at most " +
                    std::to_string(maxBytes) + " expected); not read");
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(size));
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) {
            const DWORD err = ::GetLastError();
            ::CloseHandle(h);
            return fail("cannot read \"" + path + "\": " + Reason(err));
        }
        if (n == 0) break;
        // A file that grows while it is read is held to the same limit.
        if (data.size() + n > maxBytes) {
            ::CloseHandle(h);
            return fail("\"" + path + "\" is too large (more than " + std::to_string(maxBytes) +
                        " bytes); not read");
        }
        data.append(buf, n);
    }
    ::CloseHandle(h);
    content = std::move(data);
    return true;
}

}  // namespace orvan::config
