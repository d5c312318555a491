# Third-party packages, all from Debian. PrintSupport must be found before
# QCustomPlot, whose CMake package depends on it.
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Multimedia
             WebEngineWidgets WebChannel PrintSupport LinguistTools Test)
find_package(QCustomPlot REQUIRED)

find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavcodec libswresample libswscale libavutil)

find_program(FFMPEG_EXECUTABLE ffmpeg REQUIRED)
find_program(FFPROBE_EXECUTABLE ffprobe REQUIRED)
find_program(XVFB Xvfb REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
