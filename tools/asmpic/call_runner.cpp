// asmpic: filled in with the tool.
