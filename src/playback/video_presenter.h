#pragma once
// The on-screen display of one camera: a widget whose OpenGL canvas uploads
// each picture's Y, U and V planes into three textures (allocated once per
// picture size), converts them to RGB in a shader and draws a textured quad
// into the destination rectangle, black everywhere else. Where the platform
// cannot show OpenGL widgets the widget draws the same in software. Mirroring swaps the quad's
// horizontal texture coordinates. The picture shown can be read back at its
// native size, mirroring included, for stills.
//
// PresentSample may be called from the scheduler thread; it only stores the
// picture and schedules a repaint. Everything else runs on the UI thread
// (CurrentImage from another thread blocks until the UI thread has drawn it).

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>

#include "playback/frame_sink.h"

namespace trivexa {

// The quad: four vertices (x, y in normalised device coordinates, u, v),
// rewritten only when the rectangle, the surface size or the mirror flag
// change.
class TexturedQuad {
public:
    bool Create();
    void Destroy();
    // Destination in pixels of a surface of `surface` size (top-left origin).
    void Update(const QRect& destination, const QSize& surface, bool mirrored);
    void Bind(QOpenGLShaderProgram& program);
    void Release(QOpenGLShaderProgram& program);
    std::array<float, 16> Vertices() const { return vertices_; }

private:
    QOpenGLBuffer buffer_{QOpenGLBuffer::VertexBuffer};
    std::array<float, 16> vertices_{};
    QRect lastRect_;
    QSize lastSurface_;
    bool lastMirrored_ = false;
    bool valid_ = false;
};

// GL resources and drawing: the YUV textures, the conversion shader, the quad.
class PresentEngine : protected QOpenGLFunctions {
public:
    bool Initialise();
    void Shutdown();
    // Uploads the picture's planes (textures are reallocated only when the
    // picture size changes).
    void Upload(const VideoSample& sample);
    // Clears the target to black and draws the picture into `destination`.
    void Draw(const QRect& destination, const QSize& surface, bool mirrored, bool havePicture);
    bool Ready() const { return ready_; }
    int TextureAllocations() const { return allocations_; }

private:
    QOpenGLShaderProgram program_;
    TexturedQuad quad_;
    std::array<unsigned, 3> textures_{};
    QSize textureSize_;
    int allocations_ = 0;
    bool ready_ = false;
};

class VideoPresenter;

// The OpenGL canvas of a presenter: a child that fills it, lets the mouse
// through to it and draws what the presenter says.
class PresenterCanvas : public QOpenGLWidget {
public:
    explicit PresenterCanvas(VideoPresenter& owner);

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    VideoPresenter& owner_;
};

// How the pictures reach the screen, chosen once per process before the
// first presenter is made: OpenGL where the platform can composite OpenGL
// widgets, else drawing in software (QPainter, the decoder's planes converted
// on the CPU), where a widget of OpenGL would crash the window.
enum class PresenterDrawing : int {
    kOpenGl = 0,
    kSoftware = 1,
};
// The platform plugin names that cannot composite OpenGL widgets in their
// windows, whatever contexts they can make.
bool PlatformWithoutGlWidgets(std::string_view platformName);
// Decides the drawing for the running application (the platform's name and
// a context that can be made current) and remembers it. UI thread, after
// the application object exists.
PresenterDrawing ChoosePresenterDrawing();
// The drawing remembered (OpenGL until ChoosePresenterDrawing ran); tests may
// set it.
PresenterDrawing CurrentPresenterDrawing();
void SetPresenterDrawing(PresenterDrawing drawing);

class VideoPresenter : public QWidget, public FrameSink {
public:
    explicit VideoPresenter(QWidget* parent = nullptr);
    ~VideoPresenter() override;

    void PresentSample(std::shared_ptr<const VideoSample> sample) override;
    void ClearPicture() override;
    std::shared_ptr<const VideoSample> CurrentSample() const override;
    QSize ClientSize() const override;
    bool SetVideoPosition(const QRect& destination) override;
    QRect VideoPosition() const override;
    void RepaintVideo() override;
    bool Mirrored() const override;
    void SetMirrored(bool mirrored) override;
    QImage CurrentImage() override;

    // Pictures drawn (paints with a picture) and texture allocations, for
    // tests and benchmarks.
    long DrawCount() const { return draws_.load(); }
    int TextureAllocations() const { return engine_.TextureAllocations(); }
    // How this presenter draws; the OpenGL canvas and its context (null when
    // drawing in software).
    PresenterDrawing Drawing() const { return canvas_ ? PresenterDrawing::kOpenGl : PresenterDrawing::kSoftware; }
    QOpenGLWidget* Canvas() const { return canvas_; }
    QOpenGLContext* context() const;
    void makeCurrent();
    void doneCurrent();
    // What the surface shows now (the canvas's frame buffer, or the widget).
    QImage grabFramebuffer();

protected:
    // The subclass's say in a paint: true when it draws the surface itself
    // (PaintInstead) rather than the picture. UI thread, during a paint.
    virtual bool PaintsInstead() { return false; }
    virtual void PaintInstead(QPainter& /*painter*/) {}
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class PresenterCanvas;
    void InitialiseGl();
    void PaintGl();  // the canvas's paint, its context current
    void PaintSoftware(QPainter& painter);
    // The sample, rectangle (in device pixels of `dpr`) and mirror flag to draw.
    struct Frame {
        std::shared_ptr<const VideoSample> sample;
        QRect destination;
        bool mirrored = false;
    };
    Frame CurrentFrame() const;
    QImage ReadBackOnUiThread();

    mutable std::mutex mutex_;
    std::shared_ptr<const VideoSample> current_;
    std::shared_ptr<const VideoSample> uploaded_;
    QRect destination_;
    bool destinationSet_ = false;
    bool mirrored_ = false;
    std::atomic<int> clientWidth_{0};
    std::atomic<int> clientHeight_{0};
    std::atomic<long> draws_{0};
    std::atomic<bool> updateQueued_{false};
    PresentEngine engine_;
    PresenterCanvas* canvas_ = nullptr;
    // Software drawing: the last picture converted, and which sample it was.
    QImage converted_;
    std::shared_ptr<const VideoSample> convertedFrom_;
    bool convertedMirrored_ = false;
};

}  // namespace trivexa
