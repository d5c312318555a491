#include "wall/CustomYV12Widget.h"

#include <QCursor>
#include <QDir>
#include <QEasingCurve>
#include <QFontMetrics>
#include <QLabel>
#include <QMatrix4x4>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <cstring>

#include "codec/I420Layout.h"
#include "wall/Snapshot.h"

namespace {

const char* const kVertexShader = R"(
attribute vec4 vertexIn;
attribute vec2 textureIn;
uniform mat4 RotationMatrix;
varying vec2 textureOut;
void main() {
    gl_Position = RotationMatrix * vertexIn;
    textureOut = textureIn;
}
)";

const char* const kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying vec2 textureOut;
uniform sampler2D tex_y;
uniform sampler2D tex_u;
uniform sampler2D tex_v;
void main() {
    float y = texture2D(tex_y, textureOut).r;
    float u = texture2D(tex_u, textureOut).r - 0.5;
    float v = texture2D(tex_v, textureOut).r - 0.5;
    vec3 rgb = vec3(y + 1.13983 * v, y - 0.39465 * u - 0.58060 * v, y + 2.03211 * u);
    gl_FragColor = vec4(rgb, 1.0);
}
)";

// A full-cell strip; the texture's first row maps to the top edge.
const GLfloat kVertices[] = {-1.f, -1.f, 1.f, -1.f, -1.f, 1.f, 1.f, 1.f};
const GLfloat kTexCoords[] = {0.f, 1.f, 1.f, 1.f, 0.f, 0.f, 1.f, 0.f};

constexpr int kAnimationMs = 1000;
constexpr int kAnimationEndSide = 5;   // the picture shrinks to 5 x 5 pixels
constexpr int kAnimationEndInset = 7;  // its top-left corner, from the bottom-right

}  // namespace

CustomYV12Widget::CustomYV12Widget(QWidget* parent) : QOpenGLWidget(parent), menu(new QMenu(this)) {
    connect(menu->addAction("Open"), &QAction::triggered, this, [this] { setClosed(false); });
    connect(menu->addAction("Close"), &QAction::triggered, this, [this] { setClosed(true); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &CustomYV12Widget::showMenu);
}

CustomYV12Widget::~CustomYV12Widget() {
    // ~QOpenGLWidget destroys the context after this object is half gone.
    disconnect(contextGone);
    if (program && context()) {
        makeCurrent();
        freeGL();
        doneCurrent();
    }
}

void CustomYV12Widget::ShowYV12(const unsigned char* data, int width, int height) {
    const bool sizeOk = width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
    unsigned char* copy = nullptr;
    if (data && sizeOk) {
        const size_t bytes = size_t(I420Layout::ForSize(width, height).size);
        copy = static_cast<unsigned char*>(std::malloc(bytes));
        if (copy)
            std::memcpy(copy, data, bytes);
    }
    TakeYV12(copy, width, height);
}

void CustomYV12Widget::TakeYV12(unsigned char* data, int width, int height) {
    const bool sizeOk = width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
    if (!data || !sizeOk) {
        std::free(data);
        frame.reset();
    } else {
        frame.reset(data);
        frameWidth = width;
        frameHeight = height;
    }
    if (isVisible())
        update();
}

void CustomYV12Widget::SetMirror(bool on) {
    mirror = on;
}

void CustomYV12Widget::Save(const QString& folder) {
    QDir().mkpath(folder);
    if (!frame)
        return;
    Snapshot shot(frame.get(), frameWidth, frameHeight, folder);
    connect(&shot, &Snapshot::Signal_Image, this, &CustomYV12Widget::snapshotAnimation);
    shot.Start();
}

void CustomYV12Widget::snapshotAnimation(const QString& path) {
    const QRect cell(mapToGlobal(QPoint(0, 0)), size());
    // A window of its own, owned by the cell so that a picture still
    // animating when the cell or the program goes is freed with it.
    auto* popup =
        new QWidget(this, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    popup->setAttribute(Qt::WA_ShowWithoutActivating);  // keeps the wall's key focus
    popup->setGeometry(cell);
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* label = new QLabel(popup);
    label->setScaledContents(true);
    label->setPixmap(QPixmap(path));
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(label);
    popup->show();

    auto* animation = new QPropertyAnimation(popup, "geometry", popup);
    animation->setEasingCurve(QEasingCurve::InQuart);
    animation->setDuration(kAnimationMs);
    animation->setStartValue(cell);
    const QPoint end(width() - kAnimationEndInset, height() - kAnimationEndInset);
    animation->setEndValue(QRect(mapToGlobal(end), QSize(kAnimationEndSide, kAnimationEndSide)));
    connect(animation, &QPropertyAnimation::finished, popup, &QObject::deleteLater);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CustomYV12Widget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit Signal_mouseLButtonPress();
}

void CustomYV12Widget::mouseReleaseEvent(QMouseEvent* event) {
    if (swallowRelease) {
        swallowRelease = false;
        return;
    }
    if (event->button() == Qt::RightButton)
        emit Signal_mouseRButtonRelease();
    else if (event->button() == Qt::LeftButton)
        emit Signal_mouseLButtonRelease();
}

void CustomYV12Widget::mouseDoubleClickEvent(QMouseEvent* event) {
    swallowRelease = true;
    if (event->button() == Qt::LeftButton)
        emit Signal_mouseLButtonDblClick();
}

void CustomYV12Widget::initializeGL() {
    initializeOpenGLFunctions();
    glEnable(GL_TEXTURE_2D);
    program = new QOpenGLShaderProgram;
    program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
    program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader);
    program->link();
    vertexIn = program->attributeLocation("vertexIn");
    textureIn = program->attributeLocation("textureIn");
    texY = program->uniformLocation("tex_y");
    texU = program->uniformLocation("tex_u");
    texV = program->uniformLocation("tex_v");
    glGenTextures(3, textures);
    for (GLuint texture : textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glClearColor(0.0f, 0.5f, 0.0f, 0.0f);
    // Full screen and back re-create the context: free with the old one.
    disconnect(contextGone);
    contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        freeGL();
        doneCurrent();
    });
}

void CustomYV12Widget::resizeGL(int w, int h) {
    glViewport(0, 0, w, h);
}

void CustomYV12Widget::paintGL() {
    QPainter painter(this);
    painter.beginNativePainting();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!closed && frame)
        drawFrame();
    painter.endNativePainting();
    if (!closed)
        return;
    painter.setFont(QFont("Arial", 20, QFont::Bold));
    painter.setPen(Qt::black);
    const QString text = QStringLiteral("Closed");
    const int textWidth = painter.fontMetrics().horizontalAdvance(text);
    painter.drawText((width() - textWidth) / 2, height() / 2, text);
}

void CustomYV12Widget::drawFrame() {
    program->bind();
    glBindBuffer(GL_ARRAY_BUFFER, 0);  // the attributes come from client memory
    glVertexAttribPointer(vertexIn, 2, GL_FLOAT, GL_FALSE, 0, kVertices);
    glVertexAttribPointer(textureIn, 2, GL_FLOAT, GL_FALSE, 0, kTexCoords);
    glEnableVertexAttribArray(vertexIn);
    glEnableVertexAttribArray(textureIn);

    // Rows of odd or non-multiple-of-4 widths are not padded; Qt's own text
    // drawing expects the default alignment back.
    const I420Layout layout = I420Layout::ForSize(frameWidth, frameHeight);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const unsigned char* pixels = frame.get();
    uploadPlane(0, textures[0], pixels, layout.width, layout.height);
    uploadPlane(1, textures[1], pixels + layout.uOffset, layout.chromaWidth, layout.chromaHeight);
    uploadPlane(2, textures[2], pixels + layout.vOffset, layout.chromaWidth, layout.chromaHeight);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    program->setUniformValue(texY, 0);
    program->setUniformValue(texU, 1);
    program->setUniformValue(texV, 2);

    QMatrix4x4 rotation;
    if (mirror)
        rotation.rotate(180.0f, 0.0f, 1.0f, 0.0f);
    program->setUniformValue("RotationMatrix", rotation);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableVertexAttribArray(vertexIn);
    glDisableVertexAttribArray(textureIn);
    glActiveTexture(GL_TEXTURE0);
    program->release();
}

void CustomYV12Widget::uploadPlane(int unit, GLuint texture, const unsigned char* plane, int w,
                                   int h) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, w, h, 0, GL_RED, GL_UNSIGNED_BYTE, plane);
}

void CustomYV12Widget::freeGL() {
    glDeleteTextures(3, textures);
    std::fill(std::begin(textures), std::end(textures), 0u);
    delete program;
    program = nullptr;
}

void CustomYV12Widget::showMenu() {
    menu->exec(QCursor::pos());
}

void CustomYV12Widget::setClosed(bool on) {
    closed = on;
    update();
}
