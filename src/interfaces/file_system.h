#pragma once

inline constexpr char kFileSystemVersion[] = "VFileSystem017";

// The engine's virtual file system, as far as mounting needs it.
class FileSystemInterface {
public:
    // Result 1 is failure; every other value is success.
    virtual int MountApplicationContent(int id) = 0;
    // position 1 adds the path after the existing ones.
    virtual void AppendSearchPath(const char* path, const char* pathIdentifier, int position) = 0;

protected:
    ~FileSystemInterface() = default;
};

inline constexpr int kMountFailed = 1;
inline constexpr int kSearchPathAtTail = 1;
