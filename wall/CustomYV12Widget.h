#pragma once

#include <QMetaObject>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <cstdlib>
#include <memory>

class QMenu;
class QOpenGLShaderProgram;

// One cell of the video wall: keeps a copy of its channel's latest I420 frame
// (codec's I420Layout) and draws it stretched over the cell with a BT.601
// shader, optionally mirrored; a context menu closes the picture ("Closed")
// and opens it again. GUI thread only.
class CustomYV12Widget : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT

public:
    // Largest frame side taken; bigger frames are dropped like a null one.
    static constexpr int kMaxSide = 8192;

    explicit CustomYV12Widget(QWidget* parent = nullptr);
    ~CustomYV12Widget() override;

    // Copies one frame of width x height, or drops the picture when data is
    // null or the size is out of range. The caller keeps data. Repaints only
    // when visible.
    void ShowYV12(const unsigned char* data, int width, int height);
    // The same without the copy: keeps data, a std::malloc'ed frame of
    // width x height, as the picture and frees it with std::free when the
    // next frame comes or the cell goes; data that is dropped (size out of
    // range) is freed at once.
    void TakeYV12(unsigned char* data, int width, int height);
    // Takes effect with the next paint.
    void SetMirror(bool on);
    // Writes the current frame as a BMP into folder (created with its
    // parents; a path ending in "/") and animates the saved picture. Blocks
    // until the file is written; no file without a picture.
    void Save(const QString& folder);
    // Shrinks the saved picture at path into the cell's bottom-right corner.
    void snapshotAnimation(const QString& path);

signals:
    void Signal_mouseLButtonPress();
    void Signal_mouseLButtonRelease();
    void Signal_mouseRButtonRelease();
    void Signal_mouseLButtonDblClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void showMenu();
    void setClosed(bool on);
    void drawFrame();
    void uploadPlane(int unit, GLuint texture, const unsigned char* plane, int w, int h);
    // Frees the program and textures; the context must be current.
    void freeGL();

    // GL objects, alive from initializeGL until the context goes.
    QOpenGLShaderProgram* program = nullptr;
    GLint texY = -1, texU = -1, texV = -1;
    GLint vertexIn = -1, textureIn = -1;
    GLuint textures[3] = {};
    QMetaObject::Connection contextGone;

    struct Free {
        void operator()(unsigned char* p) const { std::free(p); }
    };

    // Latest frame (std::malloc'ed); null when the cell has no picture.
    std::unique_ptr<unsigned char, Free> frame;
    int frameWidth = 0;
    int frameHeight = 0;

    bool swallowRelease = false;  // the release ending a double click
    bool closed = false;
    bool mirror = false;
    QMenu* menu = nullptr;  // child
};
