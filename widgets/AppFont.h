// The font the program's windows are laid out for.
#pragma once

namespace dapplix {

// The windows place their controls at fixed pixel positions sized for a compact dialog
// font of about eleven pixels; a narrow sans serif keeps every caption inside its box.
// Sets it as the application font (call once the QApplication exists).
void UseCompactFont();

}  // namespace dapplix
