#include "forge_card.h"

#include "browser/model/browser_model.h"

namespace trivexa::test {

std::vector<RecordingEntry> CollectCard(const fs::path& root) {
    MemoryFolderTree tree;
    BrowserModel model(tree);
    EXPECT_TRUE(model.OpenSource(root.string(), SourceKind::SdCard));
    return model.CollectAll();
}

}  // namespace trivexa::test
