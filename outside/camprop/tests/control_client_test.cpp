// The control client against the driver on the simulated camera: names,
// declared ranges, the two kinds of refusal, and values kept between loads.
#include "outside/camprop/control_client.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"
#include "testing/temp_files.h"

namespace ksv::outside::camprop {
namespace {

class ControlClientTest : public ::testing::Test {
 protected:
  ControlClientTest() { ::setenv("KSV_ROOT", (folder_.path() / "root").c_str(), 1); }
  ~ControlClientTest() override { ::unsetenv("KSV_ROOT"); }

  // A client of a freshly loaded driver; each load reads the registry anew.
  struct Loaded {
    simcam::SimulatedCamera camera;
    rig::CameraRig rig{{.device = &camera}};
    Loaded() { rig::Require(rig.Start(), "starting the camera"); }
    ~Loaded() { rig.Stop(); }
    ControlClient Client() { return ControlClient(rig.Camera(), rig.Streams().StreamHeader); }
  };

  ksv::testing::TempFolder folder_;
};

TEST(FindControl, FoldsCaseAndSeparatorsAndNamesTheControlsOfAnUnknownOne) {
  EXPECT_STREQ(FindControl("White_Balance").name, "white-balance");
  EXPECT_STREQ(FindControl("BRIGHTNESS").name, "brightness");
  try {
    FindControl("zoom");
    FAIL();
  } catch (const BadControlRequest& error) {
    EXPECT_NE(std::string(error.what()).find("brightness, contrast"), std::string::npos);
  }
}

TEST_F(ControlClientTest, ASetValueIsReadBackAndKeptForTheNextLoad) {
  {
    Loaded loaded;
    ControlClient client = loaded.Client();
    const ControlState state = client.Set(FindControl("brightness"), 160);
    EXPECT_EQ(state.value, 160);
    EXPECT_EQ(state.minimum, 0);
    EXPECT_EQ(state.maximum, 255);
    EXPECT_FALSE(client.Set(FindControl("exposure"), 1, false).automatic);
  }
  Loaded again;
  ControlClient client = again.Client();
  EXPECT_EQ(client.Get(FindControl("brightness")).value, 160);
  EXPECT_FALSE(client.Get(FindControl("exposure")).automatic);
  EXPECT_EQ(client.List().size(), CameraControlList().size());
}

TEST_F(ControlClientTest, ARequestOutsideTheDeclarationIsABadRequestNotADriverRefusal) {
  Loaded loaded;
  ControlClient client = loaded.Client();
  EXPECT_THROW(client.Set(FindControl("brightness"), 256), BadControlRequest);
  EXPECT_THROW(client.Set(FindControl("hue"), 0, true), BadControlRequest);
  EXPECT_EQ(client.Get(FindControl("brightness")).value, 128);
  const ControlDescription undeclared{"zoom", FindControl("brightness").set, 99, false};
  EXPECT_THROW(client.Get(undeclared), DriverRefusal);
}

}  // namespace
}  // namespace ksv::outside::camprop
