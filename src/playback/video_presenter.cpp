#include "playback/video_presenter.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QOpenGLFramebufferObject>
#include <QResizeEvent>
#include <QThread>

namespace trivexa {
namespace {

constexpr int kVertexStride = 4 * sizeof(float);  // x, y, u, v

const char* const kVertexShader = R"(
attribute vec2 position;
attribute vec2 texcoord;
varying vec2 uv;
void main() {
    uv = texcoord;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// BT.601 limited range to RGB; the same matrix as SampleToImage.
const char* const kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
varying vec2 uv;
void main() {
    float y = 1.164383 * (texture2D(planeY, uv).r - 0.0627451);
    float u = texture2D(planeU, uv).r - 0.5019608;
    float v = texture2D(planeV, uv).r - 0.5019608;
    gl_FragColor = vec4(y + 1.596027 * v,
                        y - 0.391762 * u - 0.812968 * v,
                        y + 2.017232 * u,
                        1.0);
}
)";

// The context's state that uploading and drawing change, put back as it was
// when the scope ends: the surface's context is shared with whatever else
// draws there (the text of an empty surface goes through Qt's glyph cache,
// which uploads its glyphs with the default unpack alignment of 4).
class ScopedGlState {
public:
    explicit ScopedGlState(QOpenGLFunctions& gl) : gl_(gl) {
        gl_.glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment_);
        gl_.glGetIntegerv(GL_UNPACK_ROW_LENGTH, &unpackRowLength_);
        gl_.glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
        for (int unit = 0; unit < kUnits; ++unit) {
            gl_.glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
            gl_.glGetIntegerv(GL_TEXTURE_BINDING_2D, &textures_[static_cast<std::size_t>(unit)]);
        }
        gl_.glActiveTexture(static_cast<GLenum>(activeTexture_));
        gl_.glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
        gl_.glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        gl_.glGetIntegerv(GL_VIEWPORT, viewport_.data());
        gl_.glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour_.data());
    }
    ~ScopedGlState() {
        gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment_);
        gl_.glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength_);
        for (int unit = 0; unit < kUnits; ++unit) {
            gl_.glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
            gl_.glBindTexture(GL_TEXTURE_2D,
                              static_cast<GLuint>(textures_[static_cast<std::size_t>(unit)]));
        }
        gl_.glActiveTexture(static_cast<GLenum>(activeTexture_));
        gl_.glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer_));
        gl_.glUseProgram(static_cast<GLuint>(program_));
        gl_.glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        gl_.glClearColor(clearColour_[0], clearColour_[1], clearColour_[2], clearColour_[3]);
    }
    ScopedGlState(const ScopedGlState&) = delete;
    ScopedGlState& operator=(const ScopedGlState&) = delete;

private:
    static constexpr int kUnits = 3;  // the picture's three planes
    QOpenGLFunctions& gl_;
    GLint unpackAlignment_ = 4;
    GLint unpackRowLength_ = 0;
    GLint activeTexture_ = GL_TEXTURE0;
    std::array<GLint, kUnits> textures_{};
    GLint arrayBuffer_ = 0;
    GLint program_ = 0;
    std::array<GLint, 4> viewport_{};
    std::array<GLfloat, 4> clearColour_{};
};

}  // namespace

bool TexturedQuad::Create() {
    if (!buffer_.create()) return false;
    buffer_.setUsagePattern(QOpenGLBuffer::DynamicDraw);
    buffer_.bind();
    buffer_.allocate(static_cast<int>(sizeof(float) * vertices_.size()));
    buffer_.release();
    valid_ = false;
    return true;
}

void TexturedQuad::Destroy() { buffer_.destroy(); }

void TexturedQuad::Update(const QRect& d, const QSize& surface, bool mirrored) {
    if (valid_ && d == lastRect_ && surface == lastSurface_ && mirrored == lastMirrored_) return;
    const float w = static_cast<float>(std::max(surface.width(), 1));
    const float h = static_cast<float>(std::max(surface.height(), 1));
    const float left = 2.0f * static_cast<float>(d.left()) / w - 1.0f;
    const float right = 2.0f * static_cast<float>(d.left() + d.width()) / w - 1.0f;
    const float top = 1.0f - 2.0f * static_cast<float>(d.top()) / h;
    const float bottom = 1.0f - 2.0f * static_cast<float>(d.top() + d.height()) / h;
    const float u0 = mirrored ? 1.0f : 0.0f;
    const float u1 = mirrored ? 0.0f : 1.0f;
    // Top-left, top-right, bottom-left, bottom-right (a triangle strip).
    vertices_ = {left, top,    u0, 0.0f, right, top,    u1, 0.0f,
                 left, bottom, u0, 1.0f, right, bottom, u1, 1.0f};
    buffer_.bind();
    buffer_.write(0, vertices_.data(), static_cast<int>(sizeof(float) * vertices_.size()));
    buffer_.release();
    lastRect_ = d;
    lastSurface_ = surface;
    lastMirrored_ = mirrored;
    valid_ = true;
}

void TexturedQuad::Bind(QOpenGLShaderProgram& program) {
    buffer_.bind();
    program.enableAttributeArray("position");
    program.enableAttributeArray("texcoord");
    program.setAttributeBuffer("position", GL_FLOAT, 0, 2, kVertexStride);
    program.setAttributeBuffer("texcoord", GL_FLOAT, 2 * sizeof(float), 2, kVertexStride);
}

void TexturedQuad::Release(QOpenGLShaderProgram& program) {
    program.disableAttributeArray("position");
    program.disableAttributeArray("texcoord");
    buffer_.release();
}

bool PresentEngine::Initialise() {
    initializeOpenGLFunctions();
    if (!program_.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program_.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) ||
        !program_.link())
        return false;
    if (!quad_.Create()) return false;
    glGenTextures(3, textures_.data());
    for (unsigned t : textures_) {
        glBindTexture(GL_TEXTURE_2D, t);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    textureSize_ = QSize();
    ready_ = true;
    return true;
}

void PresentEngine::Shutdown() {
    if (!ready_) return;
    glDeleteTextures(3, textures_.data());
    quad_.Destroy();
    program_.removeAllShaders();
    ready_ = false;
}

void PresentEngine::Upload(const VideoSample& s) {
    if (!ready_ || s.width <= 0 || s.height <= 0) return;
    const ScopedGlState keep(*this);
    const bool resize = textureSize_ != QSize(s.width, s.height);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int p = 0; p < 3; ++p) {
        glBindTexture(GL_TEXTURE_2D, textures_[p]);
        // Rows are uploaded straight from the decoder's padded planes.
        glPixelStorei(GL_UNPACK_ROW_LENGTH, s.stride[p]);
        if (resize) {
            glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, s.PlaneWidth(p), s.PlaneHeight(p), 0,
                         GL_LUMINANCE, GL_UNSIGNED_BYTE, s.data[p]);
        } else {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s.PlaneWidth(p), s.PlaneHeight(p), GL_LUMINANCE,
                            GL_UNSIGNED_BYTE, s.data[p]);
        }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (resize) {
        textureSize_ = QSize(s.width, s.height);
        ++allocations_;
    }
}

void PresentEngine::Draw(const QRect& destination, const QSize& surface, bool mirrored,
                         bool havePicture) {
    const ScopedGlState keep(*this);
    glViewport(0, 0, surface.width(), surface.height());
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!ready_ || !havePicture || textureSize_.isEmpty()) return;
    quad_.Update(destination, surface, mirrored);
    program_.bind();
    for (int p = 0; p < 3; ++p) {
        glActiveTexture(GL_TEXTURE0 + p);
        glBindTexture(GL_TEXTURE_2D, textures_[p]);
    }
    program_.setUniformValue("planeY", 0);
    program_.setUniformValue("planeU", 1);
    program_.setUniformValue("planeV", 2);
    quad_.Bind(program_);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    quad_.Release(program_);
    for (int p = 2; p >= 0; --p) {
        glActiveTexture(GL_TEXTURE0 + p);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    program_.release();
}

namespace {

std::atomic<PresenterDrawing> g_drawing{PresenterDrawing::kOpenGl};

}  // namespace

bool PlatformWithoutGlWidgets(std::string_view platformName) {
    // Their backing stores cannot compose OpenGL textures: an OpenGL widget
    // in one of their windows crashes the flush (offscreen even makes
    // contexts, through GLX when a display is at hand).
    for (std::string_view name : {"offscreen", "minimal", "minimalegl", "vnc", "linuxfb"})
        if (platformName == name) return true;
    return false;
}

PresenterDrawing ChoosePresenterDrawing() {
    PresenterDrawing drawing = PresenterDrawing::kOpenGl;
    if (PlatformWithoutGlWidgets(QGuiApplication::platformName().toStdString())) {
        drawing = PresenterDrawing::kSoftware;
    } else {
        // An X server without GLX, a remote desktop: no context to be had.
        QOpenGLContext probe;
        QOffscreenSurface surface;
        surface.create();
        if (!probe.create() || !surface.isValid() || !probe.makeCurrent(&surface))
            drawing = PresenterDrawing::kSoftware;
        else
            probe.doneCurrent();
    }
    g_drawing = drawing;
    return drawing;
}

PresenterDrawing CurrentPresenterDrawing() { return g_drawing.load(); }
void SetPresenterDrawing(PresenterDrawing drawing) { g_drawing = drawing; }

PresenterCanvas::PresenterCanvas(VideoPresenter& owner) : QOpenGLWidget(&owner), owner_(owner) {
    // Clicks, the cursor and the context menu belong to the presenter.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
}

void PresenterCanvas::initializeGL() { owner_.InitialiseGl(); }
void PresenterCanvas::paintGL() { owner_.PaintGl(); }

VideoPresenter::VideoPresenter(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    clientWidth_ = width();
    clientHeight_ = height();
    if (CurrentPresenterDrawing() == PresenterDrawing::kOpenGl) {
        canvas_ = new PresenterCanvas(*this);
        canvas_->setGeometry(rect());
    }
}

VideoPresenter::~VideoPresenter() {
    if (canvas_ != nullptr && canvas_->context() != nullptr) {
        canvas_->makeCurrent();
        engine_.Shutdown();
        canvas_->doneCurrent();
    }
}

QOpenGLContext* VideoPresenter::context() const {
    return canvas_ != nullptr ? canvas_->context() : nullptr;
}

void VideoPresenter::makeCurrent() {
    if (canvas_ != nullptr) canvas_->makeCurrent();
}

void VideoPresenter::doneCurrent() {
    if (canvas_ != nullptr) canvas_->doneCurrent();
}

QImage VideoPresenter::grabFramebuffer() {
    if (canvas_ != nullptr) return canvas_->grabFramebuffer();
    return grab().toImage();
}

void VideoPresenter::PresentSample(std::shared_ptr<const VideoSample> sample) {
    {
        std::lock_guard lock(mutex_);
        current_ = std::move(sample);
    }
    RepaintVideo();
}

void VideoPresenter::ClearPicture() {
    {
        std::lock_guard lock(mutex_);
        current_.reset();
        uploaded_.reset();
    }
    RepaintVideo();
}

std::shared_ptr<const VideoSample> VideoPresenter::CurrentSample() const {
    std::lock_guard lock(mutex_);
    return current_;
}

QSize VideoPresenter::ClientSize() const {
    return QSize(clientWidth_.load(), clientHeight_.load());
}

bool VideoPresenter::SetVideoPosition(const QRect& destination) {
    if (destination.width() < 0 || destination.height() < 0) return false;
    {
        std::lock_guard lock(mutex_);
        destination_ = destination;
        destinationSet_ = true;
    }
    RepaintVideo();
    return true;
}

QRect VideoPresenter::VideoPosition() const {
    std::lock_guard lock(mutex_);
    return destinationSet_ ? destination_ : QRect(QPoint(0, 0), ClientSize());
}

void VideoPresenter::RepaintVideo() {
    // Coalesce: one queued update however many pictures arrive meanwhile.
    if (updateQueued_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            updateQueued_ = false;
            update();
        },
        Qt::QueuedConnection);
}

bool VideoPresenter::Mirrored() const {
    std::lock_guard lock(mutex_);
    return mirrored_;
}

void VideoPresenter::SetMirrored(bool mirrored) {
    {
        std::lock_guard lock(mutex_);
        mirrored_ = mirrored;
    }
    RepaintVideo();
}

void VideoPresenter::InitialiseGl() {
    // A new context (first show, or a move to another window): its textures
    // are empty until the picture is uploaded again.
    engine_.Initialise();
    std::lock_guard lock(mutex_);
    uploaded_.reset();
}

void VideoPresenter::resizeEvent(QResizeEvent* event) {
    clientWidth_ = event->size().width();
    clientHeight_ = event->size().height();
    if (canvas_ != nullptr) canvas_->setGeometry(QRect(QPoint(0, 0), event->size()));
    QWidget::resizeEvent(event);
}

void VideoPresenter::paintEvent(QPaintEvent*) {
    if (canvas_ != nullptr) {
        // The canvas draws; it is repainted only when asked itself (its
        // updates never come back here).
        canvas_->update();
        return;
    }
    QPainter painter(this);
    if (PaintsInstead())
        PaintInstead(painter);
    else
        PaintSoftware(painter);
}

VideoPresenter::Frame VideoPresenter::CurrentFrame() const {
    std::lock_guard lock(mutex_);
    return {current_, destinationSet_ ? destination_ : rect(), mirrored_};
}

void VideoPresenter::PaintGl() {
    if (PaintsInstead()) {
        QPainter painter(canvas_);
        PaintInstead(painter);
        return;
    }
    const Frame frame = CurrentFrame();
    if (frame.sample && frame.sample != uploaded_) {
        engine_.Upload(*frame.sample);
        std::lock_guard lock(mutex_);
        uploaded_ = frame.sample;
    }
    const qreal dpr = canvas_->devicePixelRatioF();
    const QSize surface(static_cast<int>(width() * dpr), static_cast<int>(height() * dpr));
    const QRect& d = frame.destination;
    const QRect scaled(static_cast<int>(d.left() * dpr), static_cast<int>(d.top() * dpr),
                       static_cast<int>(d.width() * dpr), static_cast<int>(d.height() * dpr));
    engine_.Draw(scaled, surface, frame.mirrored, frame.sample != nullptr);
    if (frame.sample) draws_.fetch_add(1);
}

void VideoPresenter::PaintSoftware(QPainter& painter) {
    const Frame frame = CurrentFrame();
    painter.fillRect(rect(), Qt::black);
    if (!frame.sample) return;
    if (frame.sample != convertedFrom_ || frame.mirrored != convertedMirrored_) {
        converted_ = SampleToImage(*frame.sample, frame.mirrored);
        convertedFrom_ = frame.sample;
        convertedMirrored_ = frame.mirrored;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(frame.destination, converted_);
    draws_.fetch_add(1);
}

QImage VideoPresenter::ReadBackOnUiThread() {
    std::shared_ptr<const VideoSample> sample;
    bool mirrored = false;
    {
        std::lock_guard lock(mutex_);
        sample = current_;
        mirrored = mirrored_;
    }
    if (!sample) return {};
    if (canvas_ == nullptr || !engine_.Ready() || canvas_->context() == nullptr)
        return SampleToImage(*sample, mirrored);
    // Draw the picture once more, alone and at its native size, through the
    // same shader and quad as on screen.
    canvas_->makeCurrent();
    QOpenGLFramebufferObject fbo(sample->width, sample->height);
    QImage image;
    if (fbo.isValid() && fbo.bind()) {
        engine_.Upload(*sample);
        engine_.Draw(QRect(0, 0, sample->width, sample->height),
                     QSize(sample->width, sample->height), mirrored, true);
        fbo.release();
        image = fbo.toImage().convertToFormat(QImage::Format_RGB32);
    }
    canvas_->doneCurrent();
    if (image.isNull()) image = SampleToImage(*sample, mirrored);
    canvas_->update();  // the shared quad was laid out for the still; lay it out again
    return image;
}

QImage VideoPresenter::CurrentImage() {
    if (QThread::currentThread() == thread()) return ReadBackOnUiThread();
    QImage image;
    QMetaObject::invokeMethod(
        this, [this, &image] { image = ReadBackOnUiThread(); }, Qt::BlockingQueuedConnection);
    return image;
}

}  // namespace trivexa
