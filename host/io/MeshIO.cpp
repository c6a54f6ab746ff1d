// File access for the mesh readers and the writer: extension dispatch, whole-file reads, and the
// write-to-temporary-then-rename that keeps an existing file intact when writing fails.
#include "MeshIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "MeshIOInternal.h"

namespace velmora::io {

namespace detail {

void commitMesh(std::vector<Point3>&& verts, std::vector<Face>&& faces, std::vector<Point3>* colours, Mesh& mesh) {
    Mesh m;
    m.verts = std::move(verts);
    m.faces = std::move(faces);
    if (colours != nullptr) {
        m.setMapSupport(0, true);
        m.vertCol = std::move(*colours);
        m.vcFace.resize(m.faces.size());
        for (std::size_t f = 0; f < m.faces.size(); ++f) {
            for (int k = 0; k < 3; ++k) m.vcFace[f].t[k] = m.faces[f].v[k];
        }
    }
    m.buildBoundingBox();
    mesh = std::move(m);
}

}  // namespace detail

namespace {

// The lower-case extension without the dot, or "" when there is none.
std::string extensionOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool knownExtension(const std::string& path, std::string& ext, std::string& error) {
    ext = extensionOf(path);
    if (ext == "obj" || ext == "ply") return true;
    error = path + ": unknown file extension '" + (ext.empty() ? std::string() : "." + ext) +
            "' (expected .obj or .ply)";
    return false;
}

bool readWholeFile(const std::string& path, std::string& data, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot open file: " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        ::close(fd);
        return false;
    }
    data.clear();
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = path + ": cannot read file: " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool readMesh(const std::string& path, Mesh& mesh, std::string& error) {
    std::string ext;
    if (!knownExtension(path, ext, error)) return false;
    std::string data;
    if (!readWholeFile(path, data, error)) return false;
    return ext == "obj" ? readObj(data, path, mesh, error) : readPly(data, path, mesh, error);
}

bool writeMesh(const std::string& path, const Mesh& mesh, std::string& error) {
    std::string ext;
    if (!knownExtension(path, ext, error)) return false;
    std::string content;
    std::string what;
    if (!detail::encodeMesh(ext, mesh, content, what)) {
        error = path + ": cannot write mesh: " + what;
        return false;
    }

    // A name no other writer in this process or another one uses at the same moment.
    static std::atomic<unsigned> counter{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = path + ": cannot create file: " + std::strerror(errno);
        return false;
    }
    // fsync before the rename: otherwise a crash soon after could leave an empty file in the
    // place of both the old and the new contents.
    int err = 0;
    if (!writeAll(fd, content) || ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        error = path + ": cannot write file: " + std::strerror(err);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": cannot replace file: " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace velmora::io
