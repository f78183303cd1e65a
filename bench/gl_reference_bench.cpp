// A general-purpose CPU rasteriser on the same work, for scale: Mesa's llvmpipe through a
// headless EGL context draws the triangles the filter hands Prismcore (real_scene.h) into
// a framebuffer of the picture's size. Same projection (one unit = one pixel, pixel =
// centre + (x, y), rows downward, larger z nearer, the later triangle wins at equal depth),
// interpolated corner normals and per-pixel Blinn-Phong with the two point lights and the
// material's colours. No glass and no bump map: those are Prismcore's extra work per pixel.
//
// Timed: clear, draw, glFinish, the multisample resolve where there is one, and reading the
// picture back into memory (Prismcore writes into the caller's buffer, so that is the fair
// equivalent); the "noreadback" cases leave the read-back out. Vertex and index buffers are
// made once per case, outside the timing. LP_NUM_THREADS sets llvmpipe's thread count
// (default: one per core). After the timing each case checks its picture (covered%: share
// of frost pixels; agree%: how far that coverage matches Prismcore's on the same scene).
// FW_BENCH_PICTURES=<folder> writes each case's picture there as PPM.
#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "real_scene.h"

namespace {

using fw::bench::RealScene;

// One headless context for the whole program.
class GlContext {
  public:
    static GlContext& Get() {
        static GlContext context;
        return context;
    }
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& renderer() const { return renderer_; }

  private:
    GlContext() { ok_ = Open(); }
    ~GlContext() {
        if (display_ != EGL_NO_DISPLAY) {
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
            eglTerminate(display_);
        }
    }

    bool Fail(const char* what) {
        char code[16];
        std::snprintf(code, sizeof(code), "0x%04x", unsigned(eglGetError()));
        error_ = std::string(what) + " failed (EGL error " + code + ")";
        return false;
    }

    bool Open() {
        // The surfaceless platform needs no window system; the default display is the
        // fallback where the platform extension is missing.
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay)
            display_ =
                getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display_ == EGL_NO_DISPLAY) display_ = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (display_ == EGL_NO_DISPLAY) return Fail("eglGetDisplay");
        EGLint major = 0, minor = 0;
        if (!eglInitialize(display_, &major, &minor)) return Fail("eglInitialize");
        if (!eglBindAPI(EGL_OPENGL_API)) return Fail("eglBindAPI");
        // The default surface type is a window, which the surfaceless platform has none of.
        const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                           EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configs = 0;
        if (!eglChooseConfig(display_, configAttributes, &config, 1, &configs) || configs < 1)
            return Fail("eglChooseConfig");
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                            3,
                                            EGL_CONTEXT_MINOR_VERSION,
                                            3,
                                            EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                            EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                            EGL_NONE};
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, contextAttributes);
        if (context_ == EGL_NO_CONTEXT) return Fail("eglCreateContext");
        if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
            return Fail("eglMakeCurrent");
        const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        renderer_ = name ? name : "?";
        return true;
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
    bool ok_ = false;
    std::string error_, renderer_;
};

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
uniform vec2 center;
uniform vec2 size;
uniform float depthScale;
out vec3 scenePosition;
out vec3 sceneNormal;
void main() {
    scenePosition = position;
    sceneNormal = normal;
    // Window row 0 is the first row read back, so picture rows run upward in GL terms and
    // come out downward in memory.
    vec2 pixel = center + position.xy;
    gl_Position = vec4(pixel / size * 2.0 - 1.0, -position.z * depthScale, 1.0);
}
)";

// Blinn-Phong in scene space: the viewer looks down -z from far away.
const char* const kFragmentShader = R"(#version 330 core
in vec3 scenePosition;
in vec3 sceneNormal;
uniform vec3 lightPosition[2];
uniform vec3 lightColour[2];
uniform vec3 ambient;
uniform vec3 diffuse;
uniform vec3 specular;
uniform float exponent;
uniform float highlight;
uniform float selfIllum;
out vec4 colour;
void main() {
    vec3 n = normalize(sceneNormal);
    const vec3 v = vec3(0.0, 0.0, 1.0);
    vec3 lit = vec3(0.0), shine = vec3(0.0);
    for (int i = 0; i < 2; ++i) {
        vec3 l = normalize(lightPosition[i] - scenePosition);
        float nl = dot(n, l);
        if (nl > 0.0) {
            lit += lightColour[i] * nl;
            shine += lightColour[i] * pow(max(dot(n, normalize(l + v)), 0.0), exponent);
        }
    }
    vec3 c = ambient * 0.1 + diffuse * (lit + selfIllum) + specular * shine * highlight;
    colour = vec4(min(c, vec3(1.0)), 1.0);
}
)";

GLuint Compile(GLenum type, const char* text, std::string& error) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
        error = log;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint Program(std::string& error) {
    static GLuint program = 0;
    if (program) return program;
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, error);
    GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, kFragmentShader, error) : 0;
    if (!vs || !fs) return 0;
    GLuint p = glCreateProgram();
    glAttachShader(p, vs);
    glAttachShader(p, fs);
    glLinkProgram(p);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetProgramInfoLog(p, sizeof(log), nullptr, log);
        error = log;
        glDeleteProgram(p);
        return 0;
    }
    program = p;
    return program;
}

// The colour the frame is cleared to: a dark blue no lit frost has.
constexpr uint8_t kClear[3] = {26, 31, 51};

// The GL objects of one case: buffers of the scene and framebuffers of its size.
class GlScene {
  public:
    GlScene(const RealScene& s, int samples) : scene_(s), samples_(samples) {}
    ~GlScene() {
        glDeleteVertexArrays(1, &vao_);
        glDeleteBuffers(2, buffers_);
        glDeleteFramebuffers(2, framebuffers_);
        glDeleteRenderbuffers(3, renderbuffers_);
    }
    GlScene(const GlScene&) = delete;
    GlScene& operator=(const GlScene&) = delete;

    bool Prepare(std::string& error) {
        program_ = Program(error);
        if (!program_) return false;
        return Upload() && Framebuffers(error) && Uniforms();
    }

    void Draw() {
        const int w = scene_.width, h = scene_.height;
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffers_[0]);
        glViewport(0, 0, w, h);
        glClearColor(kClear[0] / 255.0f, kClear[1] / 255.0f, kClear[2] / 255.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);  // the later triangle wins at equal depth
        glDisable(GL_CULL_FACE);
        glUseProgram(program_);
        glBindVertexArray(vao_);
        glDrawElements(GL_TRIANGLES, indexCount_, GL_UNSIGNED_INT, nullptr);
        if (samples_ > 1) {
            glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers_[0]);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers_[1]);
            glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        }
    }

    // Red, green, blue, alpha bytes, rows downward.
    void Read(uint8_t* pixels) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers_[samples_ > 1 ? 1 : 0]);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, scene_.width, scene_.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }

    int indexCount() const { return indexCount_; }

  private:
    bool Upload() {
        // Indices are checked as the renderer checks them: a triangle with a corner outside
        // the point array is left out.
        std::vector<uint32_t> indices;
        indices.reserve(size_t(scene_.TriangleCount()) * 3);
        for (const __Triangle3ds& t : scene_.Triangles()) {
            if (t.index[0] >= uint32_t(scene_.PointCount()) ||
                t.index[1] >= uint32_t(scene_.PointCount()) ||
                t.index[2] >= uint32_t(scene_.PointCount()))
                continue;
            indices.insert(indices.end(), t.index, t.index + 3);
        }
        indexCount_ = int(indices.size());
        glGenVertexArrays(1, &vao_);
        glBindVertexArray(vao_);
        glGenBuffers(2, buffers_);
        glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(scene_.Points().size_bytes()), scene_.points,
                     GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(uint32_t)),
                     indices.data(), GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(__Point3ds),
                              reinterpret_cast<const void*>(offsetof(__Point3ds, x)));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(__Point3ds),
                              reinterpret_cast<const void*>(offsetof(__Point3ds, nx)));
        glBindVertexArray(0);
        return glGetError() == GL_NO_ERROR;
    }

    bool Framebuffers(std::string& error) {
        const int w = scene_.width, h = scene_.height;
        glGenFramebuffers(2, framebuffers_);
        glGenRenderbuffers(3, renderbuffers_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffers_[0]);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[0]);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_ > 1 ? samples_ : 0, GL_RGBA8, w,
                                         h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffers_[0]);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[1]);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_ > 1 ? samples_ : 0,
                                         GL_DEPTH_COMPONENT24, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  renderbuffers_[1]);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            error = "the drawing framebuffer is incomplete";
            return false;
        }
        if (samples_ > 1) {
            glBindFramebuffer(GL_FRAMEBUFFER, framebuffers_[1]);
            glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[2]);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                      renderbuffers_[2]);
            if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
                error = "the resolve framebuffer is incomplete";
                return false;
            }
        }
        return glGetError() == GL_NO_ERROR;
    }

    bool Uniforms() {
        const RealScene& s = scene_;
        float maxZ = 0;
        for (const __Point3ds& p : s.Points())
            if (std::isfinite(p.z)) maxZ = std::fmax(maxZ, std::fabs(p.z));
        glUseProgram(program_);
        auto at = [this](const char* name) { return glGetUniformLocation(program_, name); };
        glUniform2f(at("center"), float(s.centerX), float(s.centerY));
        glUniform2f(at("size"), float(s.width), float(s.height));
        glUniform1f(at("depthScale"), 1.0f / (maxZ * 1.01f + 1.0f));
        float positions[6], colours[6];
        for (int i = 0; i < 2; ++i)
            for (int c = 0; c < 3; ++c) {
                positions[3 * i + c] = s.lights[i].position[c];
                colours[3 * i + c] = s.lights[i].color[c] * s.lights[i].multiplier;
            }
        glUniform3fv(at("lightPosition"), 2, positions);
        glUniform3fv(at("lightColour"), 2, colours);
        glUniform3fv(at("ambient"), 1, s.material.ambient);
        glUniform3fv(at("diffuse"), 1, s.material.diffuse);
        glUniform3fv(at("specular"), 1, s.material.specular);
        // Shininess 0..15 to a Phong exponent of 1..1 + 8 x 15; highlight 10 is normal.
        glUniform1f(at("exponent"), 1.0f + 8.0f * s.material.shininess);
        glUniform1f(at("highlight"), s.material.shinStrength / 10.0f);
        glUniform1f(at("selfIllum"), s.material.selfIllum);
        return glGetError() == GL_NO_ERROR;
    }

    const RealScene& scene_;
    int samples_;
    GLuint program_ = 0, vao_ = 0;
    GLuint buffers_[2] = {}, framebuffers_[2] = {}, renderbuffers_[3] = {};
    int indexCount_ = 0;
};

enum class Effect { kDefault, kDenseGeometric };

const RealScene& CachedScene(Effect effect, int width, int height, bool final) {
    using Key = std::tuple<Effect, int, int, bool>;
    static std::map<Key, std::unique_ptr<RealScene>> cache;
    const Key key{effect, width, height, final};
    auto it = cache.find(key);
    if (it == cache.end()) {
        const fw::EffectParameters p = effect == Effect::kDefault
                                           ? fw::bench::DefaultEffect()
                                           : fw::bench::DenseGeometricEffect();
        it = cache.emplace(key, fw::bench::MakeRealScene(p, width, height, final, false)).first;
    }
    return *it->second;
}

// Share of the picture the frost covers and the mean brightness there (0..255): the check
// that the picture shows lit frost, not an empty or black frame.
void Inspect(const std::vector<uint8_t>& px, double& covered, double& brightness) {
    size_t count = 0;
    double sum = 0;
    for (size_t i = 0; i + 3 < px.size(); i += 4) {
        const int d = std::abs(px[i] - kClear[0]) + std::abs(px[i + 1] - kClear[1]) +
                      std::abs(px[i + 2] - kClear[2]);
        if (d > 3) {
            ++count;
            sum += (px[i] + px[i + 1] + px[i + 2]) / 3.0;
        }
    }
    covered = px.empty() ? 0 : double(count) / double(px.size() / 4);
    brightness = count ? sum / double(count) : 0;
}

// How far the two rasterisers agree on which pixels the frost covers: Prismcore's flat fill
// (draw mode 0, one sample) against the GL picture, as intersection over union. Thin
// triangles and the two edge rules make it fall short of 1 by a little; a wrong projection,
// flip or centre makes it collapse.
double CoverageAgreement(const RealScene& scene, const std::vector<uint8_t>& gl) {
    std::vector<uint8_t> ours = scene.source;
    __SetDrawMode(0);
    __SetQuality(0);
    __SetDeep(0);
    __SetUseMultyRefract(0);
    __SetDubleSide(0);
    __RasterScene(ours.data(), scene.source.data(), scene.width, scene.height, 4 * scene.width,
                  scene.PointCount(), scene.TriangleCount(), scene.triangles, scene.points,
                  scene.centerX, scene.centerY, 1, &scene.material, scene.textures, 2, scene.lights,
                  &scene.glass);
    size_t both = 0, either = 0;
    for (size_t i = 0; i + 3 < gl.size(); i += 4) {
        const bool a = ours[i] != scene.source[i] || ours[i + 1] != scene.source[i + 1] ||
                       ours[i + 2] != scene.source[i + 2];
        const bool b = gl[i] != kClear[0] || gl[i + 1] != kClear[1] || gl[i + 2] != kClear[2];
        both += a && b;
        either += a || b;
    }
    return either ? double(both) / double(either) : 0;
}

void BM_Gl(benchmark::State& state, const char* picture, Effect effect, int width, int height,
           bool final, int samples, bool readBack) {
    GlContext& gl = GlContext::Get();
    if (!gl.ok()) {
        state.SkipWithError(gl.error().c_str());
        return;
    }
    const RealScene& scene = CachedScene(effect, width, height, final);
    GlScene glScene(scene, samples);
    std::string error;
    if (!glScene.Prepare(error)) {
        state.SkipWithError(("GL setup: " + error).c_str());
        return;
    }
    std::vector<uint8_t> pixels(size_t(scene.width) * scene.height * 4);
    // One frame first: llvmpipe compiles its shader variants on the first draw.
    glScene.Draw();
    glScene.Read(pixels.data());
    if (glGetError() != GL_NO_ERROR) {
        state.SkipWithError("GL error while drawing");
        return;
    }
    for (auto _ : state) {
        glScene.Draw();
        if (readBack)
            glScene.Read(pixels.data());
        else
            glFinish();
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    if (!readBack) glScene.Read(pixels.data());
    double covered = 0, brightness = 0;
    Inspect(pixels, covered, brightness);
    if (covered < 0.001 || brightness < 10) state.SkipWithError("no lit frost in the picture");
    fw::bench::WritePicture(std::string("gl_") + picture, pixels.data(), scene.width, scene.height,
                            false);
    const char* threads = std::getenv("LP_NUM_THREADS");
    state.SetLabel(gl.renderer() + " LP_NUM_THREADS=" + (threads ? threads : "(default)"));
    state.counters["triangles"] = glScene.indexCount() / 3;
    state.counters["covered%"] = 100 * covered;
    if (samples == 1 && readBack && !scene.deep)
        state.counters["agree%"] = 100 * CoverageAgreement(scene, pixels);
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(scene.width) * scene.height * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate);
}

#define FW_GL_CASE(name, ...)                                              \
    BENCHMARK_CAPTURE(BM_Gl, name, #name, __VA_ARGS__, true)               \
        ->Unit(benchmark::kMillisecond)                                    \
        ->UseRealTime();                                                   \
    BENCHMARK_CAPTURE(BM_Gl, name##_noreadback, #name, __VA_ARGS__, false) \
        ->Unit(benchmark::kMillisecond)                                    \
        ->UseRealTime()

FW_GL_CASE(default_4000x3000, Effect::kDefault, 4000, 3000, true, 1);
FW_GL_CASE(default_4000x3000_msaa4, Effect::kDefault, 4000, 3000, true, 4);
FW_GL_CASE(dense_geometric_4000x3000, Effect::kDenseGeometric, 4000, 3000, true, 1);
FW_GL_CASE(preview_400x330, Effect::kDefault, 400, 330, false, 1);

}  // namespace

BENCHMARK_MAIN();
