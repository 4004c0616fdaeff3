// GTK 3 backend of the seam (being built).
namespace kestrune::platform::gtk {}
