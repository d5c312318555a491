#include "engine/DataRecordSink.h"

DataRecordSink::~DataRecordSink() = default;
