// Commands sent to a camera over the command connection: the set-up that some models need
// before they stream Motion-JPEG, and the pan/tilt/zoom commands of the motorised models.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

namespace orb {
struct CameraView;
}

namespace orb {

// The set-up request of a model (with "%s" for the authorization text) and its body, or
// null when the model has none.
struct SetupCommand {
    const char* request;
    const char* body;  // sent after the request, then CR LF; null when none
    int attempts;
};
const SetupCommand* SetupCommandFor(int32_t model);

// Sends the model's set-up command, retrying as the model allows; the command connection
// is closed afterwards. Failures only show on the view: streaming starts regardless.
void SendSetupCommands(CameraView& view);
// One attempt: 1 sent and answered, 0 failed.
int SendSetupCommand(CameraView& view, int32_t model);

// The text of a PTZ command for a model (ready to send, with the authorization text
// appended), or empty when the model or code has none.
std::string PtzRequest(int32_t model, int code, int argument, const std::string& authorization);
// How long a command may wait for its connection and for the answer (milliseconds); a
// non-zero *stop ends the waits at once (null: the capture's stop request).
struct CommandWaits {
    const std::atomic<int32_t>* stop = nullptr;
    int connectMs = 5000, answerMs = 5000;
};
// Sends one PTZ command and waits for the answer: 1 success, 0 failure. The view's command
// worker calls it (QueuePtzCommand); it blocks its caller until the camera answers.
int SendPtzCommand(CameraView& view, int code, int argument, const CommandWaits& waits = {});
// Whether a command code is a move that a newer command may replace before it went out,
// and whether it is a stop, which is never dropped.
bool IsPtzMove(int code);
bool IsPtzStop(int code);

}  // namespace orb
