// Anchor source of the shared library; the modules bring all the code.
