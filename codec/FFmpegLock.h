#pragma once

class QMutex;

// Serialises libavcodec decoder lookup, context creation, opening, the closing
// of a context that a re-open replaces, and audio decoding calls. Created
// before main runs and destroyed at process exit (then null).
extern QMutex* FFmpegLock;
