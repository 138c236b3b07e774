// Start pictures: found with the window.
