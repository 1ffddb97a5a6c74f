# Live preview: the fitting arithmetic and frame copy (no display), and the
# window's shared frame, repaint requests and painted picture.
quillo_add_test(NAME TestPreviewLogic SOURCES testpreviewlogic.cpp LIBS quillo_core)
quillo_add_test(NAME TestPreview SOURCES testpreview.cpp modalanswerer.h LIBS quillo_ui TIMEOUT 120)
