/* A data-only module: the registrar loads it as a data file and reads its
   REGISTRY resources. */
int registrar_test_scripts_marker;
