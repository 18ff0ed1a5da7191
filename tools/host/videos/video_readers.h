// The reader of each container behind readVideoSize (video_size.h).
#pragma once

#include <string>

#include "videos/bounded_reader.h"
#include "videos/video_size.h"

bool readIsoBmffSize(BoundedReader& in, VideoSize& size, std::string& error);
bool readMatroskaSize(BoundedReader& in, VideoSize& size, std::string& error);
bool readAviSize(BoundedReader& in, VideoSize& size, std::string& error);
bool readMpegTsSize(BoundedReader& in, VideoSize& size, std::string& error);
