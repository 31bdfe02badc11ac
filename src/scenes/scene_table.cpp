// The scene slots: each names its scene's init and render function (scenes.h), in
// programme order.
#include "scenes/scene_table.h"

#include "scenes/scenes.h"

namespace tarvola {

const Scene kScenes[kSceneCount] = {
    {&logoOpeningInit, &logoOpeningRender},      // Scene 1: logo opening
    {&polarSceneInit, &polarSceneRender},        // Scene 2: polar interference
    {&metaballSceneInit, &metaballSceneRender},  // Scene 3: metaballs in the box
    {&creditsInit, &creditsRender},              // Scene 4: credits
    {&tunnelInit, &tunnelRender},                // Scene 5: ray-grid tunnel
    {&finaleInit, &finaleRender},                // Scene 6: finale cycle
};

}  // namespace tarvola
