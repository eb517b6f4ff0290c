// main() of the layer test programs that run on a private Xvfb with GLX.
#include "private_display.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new layer_test::PrivateDisplay);
    return RUN_ALL_TESTS();
}
