// The scene slots. Each slot names its scene's init and render function; a slot whose scene
// is not built yet keeps the empty pair below, which loads nothing and draws nothing.
#include "scenes/scene_table.h"

#include "scenes/scenes.h"

namespace tarvola {

namespace {
void initNothing() {}
void renderNothing(Surface&, float) {}
}  // namespace

const Scene kScenes[kSceneCount] = {
    {&logoOpeningInit, &logoOpeningRender},  // Scene 1: logo opening
    {&polarSceneInit, &polarSceneRender},  // Scene 2: polar interference
    {&initNothing, &renderNothing},  // Scene 3: metaballs in the box
    {&creditsInit, &creditsRender},  // Scene 4: credits
    {&tunnelInit, &tunnelRender},  // Scene 5: ray-grid tunnel
    {&initNothing, &renderNothing},  // Scene 6: finale cycle
};

}  // namespace tarvola
