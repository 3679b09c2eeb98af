// The settings file on Linux, where the XDG Base Directory rules place it.
// A change is written to a new file in the same folder (mkstemp), flushed
// with fsync and renamed over the old file: rename(2) replaces the name in
// one step, so a crash or a full disk leaves either the old file or the new
// one, never part of either.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings_file.h"

namespace {

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
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        free(resolved);
    }
    const std::string folder = FolderOf(target);
    if (folder.empty() || !MakeFolders(folder)) return false;

    std::string temporary = target + ".XXXXXX";
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
