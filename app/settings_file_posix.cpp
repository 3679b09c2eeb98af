// The settings file on Linux, where the XDG Base Directory rules place it.
// A change is written to a new file in the same folder (mkstemp), flushed
// with fsync and renamed over the old file: rename(2) replaces the name in
// one step, so a crash or a full disk leaves either the old file or the new
// one, never part of either.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "app/settings_file.h"

namespace {

// Links followed from the settings file to the file itself, as many as the
// kernel follows in one path lookup; more means a loop.
constexpr int MAX_LINKS = 40;

// Closes the descriptor when it goes out of scope.
class DescriptorRecord {
public:
    explicit DescriptorRecord(int descriptor) : descriptor_(descriptor) {}
    ~DescriptorRecord() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    DescriptorRecord(const DescriptorRecord&) = delete;
    DescriptorRecord& operator=(const DescriptorRecord&) = delete;
    int Get() const { return descriptor_; }
    // Closes now, reporting whether the data reached the file system.
    bool Close() {
        int descriptor = descriptor_;
        descriptor_ = -1;
        return close(descriptor) == 0;
    }

private:
    int descriptor_;
};

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// mkdir -p with the mode the XDG rules ask for: folders made for the user's
// own settings are not for others to read.
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat status;
    return stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The file that `path` names, through any symbolic links, even when the last
// one points at nothing yet (realpath fails then): replacing what the link
// names keeps the link. Links among the folders need no following: a
// rename works through them. Empty for a loop of links.
std::string FollowLinks(std::string path) {
    for (int followed = 0; followed <= MAX_LINKS; ++followed) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        char target[4096];
        ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<size_t>(length) == sizeof target) return std::string();
        std::string next(target, static_cast<size_t>(length));
        path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
    }
    return std::string();
}

// Removes the temporary files of writes that a crash cut short. One younger
// than LEFTOVER_AGE_S may be another copy of the program's write in progress.
void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
    DIR* entries = opendir(folder.c_str());
    if (entries == nullptr) return;
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(entries)) {
        struct stat status;
        if (std::string_view(entry->d_name).starts_with(prefix) &&
            fstatat(dirfd(entries), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && now - status.st_mtime > SETTINGS_LEFTOVER_AGE_S) {
            unlinkat(dirfd(entries), entry->d_name, 0);
        }
    }
    closedir(entries);
}

bool WriteAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        ssize_t written = write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

std::string SettingsFilePath() {
    // Relative values of either variable are invalid under the XDG rules.
    std::string base;
    const char* configHome = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else if (home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.config";
    } else {
        return std::string();
    }
    return base + "/vellumtone/vellumtone.ini";
}

SettingsFileResult ReadSettingsFile(const std::string& path, size_t maxBytes, std::string* text) {
    text->clear();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    DescriptorRecord file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? SETTINGS_FILE_MISSING
                                                   : SETTINGS_FILE_UNREADABLE;
    }
    struct stat status;
    if (fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return SETTINGS_FILE_UNREADABLE;
    }
    text->resize(maxBytes);
    size_t filled = 0;
    while (filled < maxBytes) {
        ssize_t got = read(file.Get(), text->data() + filled, maxBytes - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            text->clear();
            return SETTINGS_FILE_UNREADABLE;
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    text->resize(filled);
    return SETTINGS_FILE_READ;
}

bool WriteSettingsFile(const std::string& path, std::string_view text) {
    // A settings file that is a link (kept with the user's other dotfiles)
    // stays one: its target is what gets replaced.
    const std::string target = FollowLinks(path);
    const std::string folder = FolderOf(target);
    if (folder.empty() || !MakeFolders(folder)) return false;

    const std::string prefix = target.substr(folder.size() + 1) + SETTINGS_TEMPORARY_INFIX;
    RemoveLeftovers(folder, prefix);
    std::string temporary = folder + "/" + prefix + "XXXXXX";
    DescriptorRecord file(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.Get() < 0) return false;
    // mkostemp makes the file readable by the owner alone; a file being
    // replaced keeps the permissions it had.
    struct stat old;
    if (stat(target.c_str(), &old) == 0) fchmod(file.Get(), old.st_mode & 07777);
    bool written = WriteAll(file.Get(), text) && fsync(file.Get()) == 0;
    written = file.Close() && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk once the folder is flushed.
    DescriptorRecord directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0) fsync(directory.Get());
    return true;
}

std::string_view SettingsFileNewline() {
    return "\n";
}
