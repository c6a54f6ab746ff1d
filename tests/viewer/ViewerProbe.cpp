// Helper of the viewer's window test: writes the test mesh and checks what the viewer wrote
// (saved meshes, window screenshots). Reads OBJ vertex lines and PNG pictures on its own, so the
// checks do not lean on the code they check. Exit status 0 when the check holds, 1 with a message
// when it does not, 2 on bad usage.
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Vertex {
    float p[3] = {0.0f, 0.0f, 0.0f};
    float c[3] = {1.0f, 1.0f, 1.0f};
};

bool readObjVertices(const std::string& path, std::vector<Vertex>& out) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << path << ": cannot read\n";
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 2 || line[0] != 'v' || line[1] != ' ') continue;
        std::istringstream s(line.substr(2));
        Vertex v;
        std::string word;
        float values[6] = {0, 0, 0, 1, 1, 1};
        int n = 0;
        while (n < 6 && s >> word) values[n++] = std::strtof(word.c_str(), nullptr);
        if (n != 3 && n != 6) {
            std::cerr << path << ": bad vertex line '" << line << "'\n";
            return false;
        }
        for (int k = 0; k < 3; ++k) {
            v.p[k] = values[k];
            v.c[k] = values[3 + k];
        }
        out.push_back(v);
    }
    return true;
}

// Grid of n x n quads of side size/n centred at the origin in the plane z = 0, white colours.
int writeGrid(const std::string& path, int n, float size) {
    std::ofstream out(path);
    if (!out || n < 1) return 2;
    char buf[128];
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const float x = -size * 0.5f + size * static_cast<float>(i) / static_cast<float>(n);
            const float y = -size * 0.5f + size * static_cast<float>(j) / static_cast<float>(n);
            std::snprintf(buf, sizeof buf, "v %.9g %.9g 0 1 1 1\n", static_cast<double>(x), static_cast<double>(y));
            out << buf;
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 2, d = a + n + 1;
            out << "f " << a << ' ' << b << ' ' << c << "\nf " << a << ' ' << c << ' ' << d << '\n';
        }
    }
    return out ? 0 : 1;
}

float distance2d(const Vertex& v, float x, float y) { return std::hypot(v.p[0] - x, v.p[1] - y); }

bool loadPair(const std::string& a, const std::string& b, std::vector<Vertex>& va, std::vector<Vertex>& vb) {
    if (!readObjVertices(a, va) || !readObjVertices(b, vb)) return false;
    if (va.size() != vb.size()) {
        std::cerr << "vertex counts differ: " << va.size() << " and " << vb.size() << '\n';
        return false;
    }
    return true;
}

// Some vertex that started within `radius` of (x, y) moved by at least `minMove`.
int expectMoved(const std::string& a, const std::string& b, float x, float y, float radius, float minMove) {
    std::vector<Vertex> va, vb;
    if (!loadPair(a, b, va, vb)) return 1;
    float best = 0.0f;
    for (size_t i = 0; i < va.size(); ++i) {
        if (distance2d(va[i], x, y) > radius) continue;
        const float d = std::sqrt((va[i].p[0] - vb[i].p[0]) * (va[i].p[0] - vb[i].p[0]) +
                                  (va[i].p[1] - vb[i].p[1]) * (va[i].p[1] - vb[i].p[1]) +
                                  (va[i].p[2] - vb[i].p[2]) * (va[i].p[2] - vb[i].p[2]));
        best = std::max(best, d);
    }
    std::cout << "largest move near (" << x << ", " << y << "): " << best << '\n';
    return best >= minMove ? 0 : 1;
}

// Some vertex within `radius` of (x, y) carries a mask (red) below 0.5; vertices farther than
// `clear` from it keep mask 1.
int expectMasked(const std::string& b, float x, float y, float radius, float clear) {
    std::vector<Vertex> vb;
    if (!readObjVertices(b, vb)) return 1;
    float lowest = 1.0f;
    int strayMasked = 0;
    for (const Vertex& v : vb) {
        const float d = distance2d(v, x, y);
        if (d <= radius) lowest = std::min(lowest, v.c[0]);
        if (d > clear && v.c[0] != 1.0f) ++strayMasked;
    }
    std::cout << "lowest mask near (" << x << ", " << y << "): " << lowest << ", masked far away: " << strayMasked << '\n';
    return (lowest < 0.5f && strayMasked == 0) ? 0 : 1;
}

// Positions and colours identical, bit for bit.
int expectSame(const std::string& a, const std::string& b) {
    std::vector<Vertex> va, vb;
    if (!loadPair(a, b, va, vb)) return 1;
    for (size_t i = 0; i < va.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            if (va[i].p[k] != vb[i].p[k] || va[i].c[k] != vb[i].c[k]) {
                std::cerr << "vertex " << i << " differs\n";
                return 1;
            }
        }
    }
    std::cout << va.size() << " vertices identical\n";
    return 0;
}

// In the window rectangle [x0, x1) x [y0, y1) of the picture: at least `minYellow` brush-circle
// pixels (strong red and green, little blue) and at least a fifth of the pixels lit mesh
// (brighter than the background).
int expectPicture(const std::string& path, int x0, int y0, int x1, int y1, int minYellow) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        std::cerr << path << ": cannot read the picture\n";
        return 1;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> px(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) {
        std::cerr << path << ": cannot decode the picture\n";
        return 1;
    }
    const int w = static_cast<int>(image.width), h = static_cast<int>(image.height);
    long yellow = 0, mesh = 0, total = 0;
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) {
            const unsigned char* p = &px[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
            ++total;
            if (p[0] > 180 && p[1] > 180 && p[2] < 90) ++yellow;
            else if (p[0] > 110 && p[1] > 110 && p[2] > 110) ++mesh;
        }
    }
    std::cout << path << ": " << w << "x" << h << ", region " << total << " pixels, " << yellow << " yellow, " << mesh
              << " mesh\n";
    return (total > 0 && yellow >= minYellow && mesh * 5 >= total) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    auto f = [&](size_t i) { return std::strtof(a[i].c_str(), nullptr); };
    auto n = [&](size_t i) { return std::atoi(a[i].c_str()); };
    if (a.size() == 4 && a[0] == "grid") return writeGrid(a[1], n(2), f(3));
    if (a.size() == 7 && a[0] == "expect-moved") return expectMoved(a[1], a[2], f(3), f(4), f(5), f(6));
    if (a.size() == 6 && a[0] == "expect-masked") return expectMasked(a[1], f(2), f(3), f(4), f(5));
    if (a.size() == 3 && a[0] == "expect-same") return expectSame(a[1], a[2]);
    if (a.size() == 7 && a[0] == "expect-picture") return expectPicture(a[1], n(2), n(3), n(4), n(5), n(6));
    std::cerr << "usage: velmora_viewer_probe grid OUT.obj QUADS SIZE\n"
                 "       velmora_viewer_probe expect-moved BEFORE.obj AFTER.obj X Y RADIUS MINMOVE\n"
                 "       velmora_viewer_probe expect-masked AFTER.obj X Y RADIUS CLEAR\n"
                 "       velmora_viewer_probe expect-same A.obj B.obj\n"
                 "       velmora_viewer_probe expect-picture SHOT.png X0 Y0 X1 Y1 MINYELLOW\n";
    return 2;
}
