// Commands sent to a camera over the command connection: the set-up that some models need
// before they stream Motion-JPEG, and the pan/tilt/zoom commands of the motorised models.
#pragma once
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
// Sends one PTZ command and waits for the answer: 1 success, 0 failure.
int SendPtzCommand(CameraView& view, int code, int argument);

}  // namespace orb
