// Found before Qt's own header of the same name by the core library's sources
// only: every Qt Gui or Widgets header includes it first.
#error "rindell_core links Qt Core only: no Gui or Widgets header belongs in it"
