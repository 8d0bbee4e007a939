// Directory trees: create a directory with every missing parent, and remove a
// directory with everything in it. The same algorithm runs on both platforms
// with the platform's separator and root length.
#include "platform/files.h"
#include "storage/paths.h"

namespace quorvel {
namespace storage {
namespace {

using platform::Char;
using platform::DirectoryEntry;
using platform::TreeDirectory;

// An attempt counts as good when the directory was made or the name exists
// already (possibly as a file: a good result does not prove a directory).
bool createOne(const Char *path) { return platform::createDirectory(path) != platform::CreateDirectoryResult::Failed; }

bool isDotName(const Char *name, int length) {
    return (length == 1 && name[0] == Char('.')) || (length == 2 && name[0] == Char('.') && name[1] == Char('.'));
}

bool removeContents(TreeDirectory *dir, Char *path, int length);

// Removes the subdirectory whose full path is path[0, length) and whose name
// starts at path[nameStart]. Something that is not a plain directory on the
// parent's volume any more (a link, a mount, extra attributes) is not opened
// and stays. False when a directory of the walk left the tree meanwhile.
bool removeSubdirectory(const TreeDirectory &parent, Char *path, int nameStart, int length) {
    TreeDirectory child;
    if (!platform::openTreeChild(parent, path + nameStart, path, &child)) return true;
    const bool inPlace = removeContents(&child, path, length);
    platform::closeTreeDirectory(&child);
    if (!inPlace || !platform::treeDirectoryInPlace(parent)) return false;
    platform::removeTreeChild(parent, path + nameStart, path);
    return true;
}

// Removes what `dir` holds; its path is path[0, length) in a buffer of
// kChildPathUnits units. Entries whose child path would not fit the buffer
// are left where they are, which keeps `dir` itself from being removed.
// False when a directory of the walk was found moved out of the tree: the
// work in it stops there, and nothing above it is removed.
bool removeContents(TreeDirectory *dir, Char *path, int length) {
    bool inPlace = true;
    int base = length;
    if (base == 0 || path[base - 1] != platform::kSeparator) {
        if (base + 1 >= platform::kChildPathUnits) return true;
        path[base++] = platform::kSeparator;
    }
    // The search pattern shares the buffer with the names that follow it.
    if (base + 3 < platform::kChildPathUnits) {
        path[base] = Char('*');
        path[base + 1] = Char('.');
        path[base + 2] = Char('*');
        path[base + 3] = 0;
        DirectoryEntry entry{0, path + base, platform::kChildPathUnits - base, -1};
        if (platform::findFirstEntry(dir, path, &entry)) {
            do {
                if (entry.length < 0 || isDotName(path + base, entry.length)) continue;
                // Before each entry: what is saved in a directory after it
                // left the tree is not the tree's to remove.
                if (!platform::treeDirectoryInPlace(*dir)) {
                    inPlace = false;
                    break;
                }
                // A directory is something whose attributes are exactly 0x10;
                // anything else, a directory with extra attributes included,
                // is handed to file deletion, which leaves directories alone.
                if (entry.attributes != platform::kAttributeDirectory) {
                    platform::deleteTreeFile(*dir, path + base, path);
                } else if (!removeSubdirectory(*dir, path, base, base + entry.length)) {
                    inPlace = false;
                }
            } while (platform::findNextEntry(dir, &entry));
            platform::findClose(dir);
        }
    }
    path[length] = 0;
    return inPlace;
}

}  // namespace
}  // namespace storage
}  // namespace quorvel

// The exports name the helpers above.
using namespace quorvel::storage;
namespace platform = quorvel::platform;

extern "C" {

int32_t QUORVEL_CALL Quorvel_CreateTreeDirectory(const QuorvelChar *path) {
    if (path == nullptr) return -1;
    const int length = boundedLength(path, platform::kPathUnits);
    // Shorter than a root, or too long for the working buffer: nothing is
    // attempted, so a long path never creates a cut-off prefix.
    if (length < platform::kRootLength || length >= platform::kPathUnits) return -1;

    Char buffer[platform::kPathUnits];
    copyString(buffer, path, length);

    bool good = createOne(buffer);
    if (length > platform::kRootLength) {
        // Each prefix that ends before a separator, and the whole path last;
        // only the last attempt decides the result.
        for (int i = platform::kRootLength; i < length; ++i) {
            const Char next = buffer[i + 1];
            if (next == platform::kSeparator || next == 0) {
                buffer[i + 1] = 0;
                good = createOne(buffer);
                buffer[i + 1] = next;
            }
        }
    }
    return good ? 0 : -1;
}

int32_t QUORVEL_CALL Quorvel_DeleteDir(const QuorvelChar *path) {
    if (path == nullptr) return -1;
    // A path that cannot hold even one child in the working buffer is
    // answered as one that names nothing, and nothing is touched.
    const int length = boundedLength(path, platform::kChildPathUnits);
    if (length >= platform::kChildPathUnits) return -1;

    const uint32_t attributes = platform::fileAttributes(path);
    if (attributes != platform::kAttributeDirectory) return static_cast<int32_t>(attributes);

    Char buffer[platform::kChildPathUnits];
    copyString(buffer, path, length);
    TreeDirectory root;
    // Changed into something else since its attributes were read: leave it.
    if (!platform::openTreeRoot(buffer, &root)) return 0;
    if (!removeContents(&root, buffer, length)) {
        // Part of the tree was moved out of it while it was emptied: the
        // tree is not removed, and is reported so.
        platform::closeTreeDirectory(&root);
        return 0;
    }
    return platform::removeTreeRoot(&root, buffer);
}

}  // extern "C"
