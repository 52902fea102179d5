// The capture loop of a video camera (RTSP with H.264, H.265 or Motion-JPEG): it opens the
// camera's stream through FFmpeg's libraries, decodes every packet, runs each picture
// through the same pipeline as a JPEG camera's (size check, automatic panning, motion,
// privacy zones, dewarping, paint, status lines), hands every packet as received to the
// recorder with the motion of the picture it gave, and reconnects after every failure
// until the view asks it to stop. A paused view closes the stream and decodes nothing.
#pragma once

namespace orb {
struct CameraView;

void VideoCaptureLoop(CameraView* view);

}  // namespace orb
